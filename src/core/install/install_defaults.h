// The defaults worked out once the manifest's variables are known: the programs
// folder, the Start-menu folder for the shortcuts, and the proposed installation
// folder.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/install/installer_state.h"
#include "core/install/product_registration.h"
#include "core/install/registry.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// The shell's special folders.
class ShellFolders {
 public:
  virtual ~ShellFolders() = default;
  // The programs folder, when the shell can tell.
  virtual std::optional<std::string> ProgramFilesFolder() = 0;
  // The user's Start-menu programs folder; empty when the shell cannot tell.
  virtual std::string StartMenuProgramsFolder() = 0;
  // The Start-menu programs folders of the machine and of every account.
  virtual std::vector<std::string> EveryStartMenuFolder() = 0;
};

void SetInstallDefaults(InstallerState& state, Registry& registry, Messages& messages, ProductRegistration& product,
                        ShellFolders& shell, Environment& environment, FileSystem& files);

}  // namespace inst
