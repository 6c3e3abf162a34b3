// The installer's dealings with the system around the product: the shell's folders,
// free disk space, driver packages, and the MPLAB, Holtek and CFASM integrations.
#pragma once
#include <cstdint>
#include <string>

#include "core/install/install_defaults.h"
#include "core/manifest/manifest.h"
#include "core/install/product_registration.h"
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

class WinToolIntegrations final : public ToolIntegrations {
 public:
  explicit WinToolIntegrations(Process& process) : process_(process) {}
  void ConfigureHoltekIDE() override;
  void RegisterFasmTools() override;
  void RegisterMplabPlugin() override;

 private:
  Process& process_;
};

// Free megabytes for the user on the drive of `path` (0 when unknown); sets the
// cluster size (4096 when it cannot be read).
std::uint32_t QueryFreeSpace(Process& process, const std::string& path);

// Copies the feature's driver package into the system's store and updates the
// present devices it serves; failures are shown, and the run goes on.
void InstallDriver(Process& process, const FeatureRecord& feature);

// The MPLAB plug-in registered last, when its path still exists.
std::optional<std::string> PluginCurrentPath(Process& process);
std::optional<std::string> PluginCurrentVersion(Process& process);

// Sets up the defaults once the manifest's variables are known.
void SetInstallDefaults(Process& process);

}  // namespace inst::win
