// The maker's own tools and the products of others that an installation works
// with: the publisher's name, where a product's keys and folders go, the MPLAB
// plug-in, the Holtek IDE and the CFASM tools.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "core/install/installer_state.h"
#include "core/install/registry.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

class ProductRegistration;

inline constexpr const char* kPublisher = "VORANTH Software";
inline constexpr const char* kTessaraShortcutName = "TESSARA Integrated Development Environment";

// [Manufacturer]\[Product], with \[Edition] when the product has one, between
// `before` and `after`, expanded: the product's keys and default folder.
std::string ExpandProductPath(const InstallerVariables& variables, const char* before, const char* after);

// The product being installed is the MPLAB plug-in itself.
bool IsMplabPlugin(const InstallerVariables& variables);
// Where the plug-in registered last records its path and version.
std::string MplabPluginKey(const InstallerVariables& variables);
// The plug-in registered last, when its path still exists; and its version.
std::optional<std::string> MplabPluginCurrentPath(const InstallerVariables& variables, Registry& registry,
                                                  FileSystem& files);
std::optional<std::string> MplabPluginCurrentVersion(const InstallerVariables& variables, Registry& registry,
                                                     FileSystem& files);

// The newest version of this product installed (the plug-in's own record for the
// plug-in); "" for none, none at all when the product's key cannot be read.
std::optional<std::string> NewestInstalledVersion(const InstallerVariables& variables, Registry& registry,
                                                  FileSystem& files);

// The integrations registration calls when the manifest asks for them.
class ToolIntegrations {
 public:
  virtual ~ToolIntegrations() = default;
  virtual void ConfigureHoltekIDE() = 0;
  virtual void RegisterFasmTools() = 0;
  virtual void RegisterMplabPlugin() = 0;
};

// The CFASM tool paths under the patch-level key; a failed write is fatal.
void RegisterFasmTools(InstallerState& state, Registry& registry, Messages& messages, ProductRegistration& product);

// Points every HT-IDE3000 installed under the Holtek key at the product's compiler
// driver; HoltekIDEPath names the program of the one visited last.
// `write_profile` writes one entry of an ini file (file, section, key, value).
void ConfigureHoltekIDE(InstallerState& state, Registry& registry,
                        const std::function<void(const std::string&, const std::string&, const std::string&,
                                                 const std::string&)>& write_profile);

// The MPLAB plug-in index of an earlier installation (-1 when none): found once and
// kept in the state; taken over from an earlier patch level installed in the same
// folder, whose value is then deleted.
int LookUpMplabIndex(InstallerState& state, Registry& registry, ProductRegistration& product);

}  // namespace inst
