// The shell's own folders (Program Files, the Start menu's programs), and the
// installation defaults worked out from them.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/install/install_defaults.h"
#include "win/process.h"

namespace inst::win {

// SHGetFolderPathA from SHFolder.dll, else from Shell32.dll.
class WinShellFolders final : public ShellFolders {
 public:
  WinShellFolders(const HWND& owner, FileSystem& files) : owner_(owner), files_(files) {}
  std::optional<std::string> ProgramFilesFolder() override;
  std::string StartMenuProgramsFolder() override;
  std::vector<std::string> EveryStartMenuFolder() override;

 private:
  const HWND& owner_;
  FileSystem& files_;
};

// The folder for data shared by every account (ProgramData); empty when the shell
// cannot tell.
std::string CommonDataFolder();

// Sets up the defaults once the manifest's variables are known.
void SetInstallDefaults(InstallerState& state, Services& services, ProductRegistration& product, HWND owner);

}  // namespace inst::win
