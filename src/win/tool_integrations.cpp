#include "tool_integrations.h"

#include <ole2.h>
#include <setupapi.h>
#include <shlobj.h>

#include <vector>

#include "core/support/text.h"
#include "handles.h"
#include "system_libraries.h"
#include "core/support/variable_names.h"

namespace inst::win {

namespace {

using SHGetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

// SHGetFolderPathA for one folder; empty when the shell cannot tell. `succeeded`
// receives whether the call returned S_OK.
std::string ShellFolder(HWND owner, int csidl, bool* succeeded) {
  Library library(LoadSystemLibrary("SHFolder.dll"));
  if (!library) library.reset(LoadSystemLibrary("Shell32.dll"));
  auto get = LoadProc<SHGetFolderPathFn>(library.get(), "SHGetFolderPathA");
  if (get == nullptr) return std::string();
  std::vector<char> path(4096);
  const HRESULT result = get(owner, csidl, nullptr, SHGFP_TYPE_CURRENT, path.data());
  if (succeeded) *succeeded = result == S_OK;
  return std::string(path.data());
}

constexpr const char* kPluginTitle = "MPLAB plugin installation";

std::string PluginKey(Process& process) {
  return process.variables().ExpandVariables("SOFTWARE\\[Manufacturer]\\MPLAB Plugin");
}

}  // namespace

std::optional<std::string> WinShellFolders::ProgramFilesFolder() {
  bool ok = false;
  std::string path = ShellFolder(owner_, CSIDL_PROGRAM_FILES, &ok);
  if (!ok) return std::nullopt;
  return path;
}

std::string WinShellFolders::StartMenuProgramsFolder() { return ShellFolder(owner_, CSIDL_PROGRAMS, nullptr); }

void SetInstallDefaults(Process& process) {
  WinShellFolders shell(process.program.main_window);
  inst::SetInstallDefaults(process.state, process.services.registry, process.services.messages, process.session.product,
                           shell, process.services.environment, process.services.files);
}

void WinToolIntegrations::ConfigureHoltekIDE() {
  inst::ConfigureHoltekIDE(
      process_.state, process_.services.registry,
      [](const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
        ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
      });
}

void WinToolIntegrations::RegisterFasmTools() {
  inst::RegisterFasmTools(process_.state, process_.services.registry, process_.services.messages,
                          process_.session.product);
}

std::optional<std::string> PluginCurrentPath(Process& process) {
  const RegistryValue path = process.services.registry.RegistryReadString(kHKLM, PluginKey(process), "currentPath");
  if (!path.ok() || !process.services.files.FileExists(path.text)) return std::nullopt;
  return path.text;
}

std::optional<std::string> PluginCurrentVersion(Process& process) {
  if (!PluginCurrentPath(process)) return std::nullopt;
  const RegistryValue version = process.services.registry.RegistryReadString(kHKLM, PluginKey(process), "currentVer");
  if (!version.ok()) return std::nullopt;
  return version.text;
}

void WinToolIntegrations::RegisterMplabPlugin() {
  Process& process = process_;
  InstallerVariables& vars = process.variables();
  const std::string key = PluginKey(process);
  const bool is_plugin_itself = vars.GetVariable(var::kProduct) && *vars.GetVariable(var::kProduct) == "MPLAB Plugin";
  const std::string* version = is_plugin_itself ? vars.GetVariable(var::kVersion) : vars.GetVariable("MPLABPluginVer");
  const std::string dll = InstallationPath(vars, "bin\\ORVALD.dll");

  // The welcome page has compared versions already when the plug-in installs itself
  // with the version check on.
  if (version && !(is_plugin_itself && vars.TestFlag(var::kCheckInstalledVersions))) {
    const std::optional<std::string> current = PluginCurrentVersion(process);
    // A plain text comparison, as the registered versions have always been compared.
    if (current && *current > *version && dll != PluginCurrentPath(process)) return;
  }

  const OleScope ole;
  if (!ole.active()) process.services.messages.ShowError(kPluginTitle, "Failed: Could not initialize OLE");

  // The DLLs the plug-in needs are found beside it, in the product's bin folder.
  Library plugin(LoadProductLibrary(dll));
  if (!plugin) {
    process.services.messages.ShowError(kPluginTitle, "Failure: Could not load MPLAB plugin: %s", dll.c_str());
    return;
  }
  using DllRegisterServerFn = HRESULT(STDAPICALLTYPE*)();
  auto register_server = LoadProc<DllRegisterServerFn>(plugin.get(), "DllRegisterServer");
  if (register_server == nullptr) {
    process.services.messages.ShowError(kPluginTitle, "Failure: Could not find DLL self-registration entry point");
    return;
  }
  const HRESULT result = register_server();
  if (result != 0) {
    process.services.messages.ShowError(kPluginTitle, "Registration failed. Error code = %lX",
                                        static_cast<unsigned long>(result));
  }
  // Lost, the record only makes the next installation register the plug-in again.
  if (version) {
    static_cast<void>(process.services.registry.RegistryWriteString(kHKLM, key, "currentVer", *version));
    static_cast<void>(process.services.registry.RegistryWriteString(kHKLM, key, "currentPath", dll));
  }
}

std::uint32_t QueryFreeSpace(Process& process, const std::string& path) {
  DWORD sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
  if (::GetDiskFreeSpaceA(path.c_str(), &sectors, &bytes, &free_clusters, &clusters)) {
    process.state.cluster_size = sectors * bytes;
  } else {
    process.state.cluster_size = 4096;
  }
  using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  auto get_free = LoadProc<GetDiskFreeSpaceExFn>(::GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
  ULARGE_INTEGER available{}, total{}, free{};
  if (get_free == nullptr || !get_free(path.c_str(), &available, &total, &free)) return 0;
  return static_cast<std::uint32_t>(available.QuadPart / 1048576);
}

void InstallDriver(Process& process, const FeatureRecord& feature) {
  using SetupCopyOEMInfFn = BOOL(WINAPI*)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
  using UpdateDriverFn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);
  const std::string folder = InstallationPath(process.variables(), "drivers");
  const std::string inf = JoinPath(folder, feature.driver_inf.value_or(""));

  // Loaded at run time, so that a system without them still installs the rest.
  Library setupapi(LoadSystemLibrary("setupapi.dll"));
  Library newdev(LoadSystemLibrary("newdev.dll"));
  auto copy_inf = LoadProc<SetupCopyOEMInfFn>(setupapi.get(), "SetupCopyOEMInfA");
  auto update = LoadProc<UpdateDriverFn>(newdev.get(), "UpdateDriverForPlugAndPlayDevicesA");

  const char* message = nullptr;
  if (copy_inf == nullptr ||
      !copy_inf(inf.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, nullptr, 0, nullptr, nullptr)) {
    if (copy_inf == nullptr || ::GetLastError() != ERROR_FILE_EXISTS) message = "Unable to install driver files";
  } else if (feature.driver_device && !feature.driver_device->empty()) {
    if (update == nullptr ||
        !update(process.program.main_window, feature.driver_device->c_str(), inf.c_str(), 0, nullptr)) {
      if (update == nullptr || ::GetLastError() != ERROR_FILE_EXISTS) message = "Unable to driver for active devices";
    }
  }
  if (message == nullptr) return;
  const DWORD error = ::GetLastError();
  char* description = nullptr;
  if (::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0,
                       reinterpret_cast<char*>(&description), 0, nullptr) == 0) {
    return;
  }
  ::LocalFree(description);
  process.services.host.ShowBox("Driver Install Error", FormatText("%s for %s", message, feature.name.c_str()),
                                MB_OK | MB_ICONERROR);
}

}  // namespace inst::win
