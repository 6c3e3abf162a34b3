// The product's own registration: the product and patch-level keys, the App Paths
// entry, the uninstall entry, and their removal.
#pragma once
#include <optional>
#include <string>

#include "core/install/installer_state.h"
#include "core/install/registry.h"
#include "core/install/vendor_tools.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// The patch level every key names: PatchLevel, or "PL0" when it is unset or empty.
std::string PatchLevelOf(const InstallerVariables& variables);

class ProductRegistration {
 public:
  // `today` gives the local date as eight digits, YYYYMMDD.
  ProductRegistration(InstallerState& state, Registry& registry, FileSystem& files, Messages& messages,
                      std::string (*today)())
      : state_(state), registry_(registry), files_(files), messages_(messages), today_(today) {}

  // Formed from the variables as they are, by one rule each: no call changes a
  // variable, and the order of the calls changes no key.
  std::string ProductKey() const;
  std::string PatchLevelKey() const;
  std::string UninstallKey() const;

  void WriteAppPaths();
  // InstDir and BuildNo under the patch-level key; a failed write is fatal.
  void WriteProductValues();
  // Writes the manifest's [Registry] entries.
  void ApplyRegistryEntries();
  // The rest of the registration but the uninstall entry, once WriteProductValues has run.
  void RegisterProduct(ToolIntegrations& integrations);
  // The programs list's entry: last of an installation, once the installed copy can
  // remove what it names.
  void WriteUninstallEntry();
  // True when every deletion succeeded.
  bool UnregisterProduct();
  // The folder another installation of this very version holds, when its uninstall
  // entry names one other than `folder` and it is still there: one version has one
  // entry, so a second installation would orphan the first.
  std::optional<std::string> InstalledElsewhere(const std::string& folder);
  // The maker's IDE, when registration found it installed; empty otherwise.
  const std::string& tessara_path() const { return tessara_path_; }

 private:
  void AddTessaraShortcut();

  InstallerState& state_;
  Registry& registry_;
  FileSystem& files_;
  Messages& messages_;
  std::string (*today_)();
  std::string tessara_path_;
};

}  // namespace inst
