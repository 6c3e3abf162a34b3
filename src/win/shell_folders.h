// The shell's own folders (Program Files, the Start menu's programs), and the
// installation defaults worked out from them.
#pragma once
#include <optional>
#include <string>

#include "core/install/install_defaults.h"
#include "process.h"

namespace inst::win {

// SHGetFolderPathA from SHFolder.dll, else from Shell32.dll.
class WinShellFolders final : public ShellFolders {
 public:
  explicit WinShellFolders(const HWND& owner) : owner_(owner) {}
  std::optional<std::string> ProgramFilesFolder() override;
  std::string StartMenuProgramsFolder() override;

 private:
  const HWND& owner_;
};

// The folder for data shared by every account (ProgramData); empty when the shell
// cannot tell.
std::string CommonDataFolder();

// Sets up the defaults once the manifest's variables are known.
void SetInstallDefaults(Process& process);

}  // namespace inst::win
