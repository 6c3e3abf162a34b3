#include "win/shell_folders.h"

#include <shlobj.h>

#include <vector>

#include "core/support/text.h"
#include "win/handles.h"
#include "win/system_libraries.h"

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

}  // namespace

std::optional<std::string> WinShellFolders::ProgramFilesFolder() {
  bool ok = false;
  std::string path = ShellFolder(owner_, CSIDL_PROGRAM_FILES, &ok);
  if (!ok) return std::nullopt;
  return path;
}

std::string CommonDataFolder() {
  bool ok = false;
  std::string path = ShellFolder(nullptr, CSIDL_COMMON_APPDATA, &ok);
  return ok ? path : std::string();
}

std::string WinShellFolders::StartMenuProgramsFolder() { return ShellFolder(owner_, CSIDL_PROGRAMS, nullptr); }

std::vector<std::string> WinShellFolders::EveryStartMenuFolder() {
  std::vector<std::string> folders;
  bool ok = false;
  if (std::string common = ShellFolder(owner_, CSIDL_COMMON_PROGRAMS, &ok); ok) folders.push_back(common);
  const std::string own = StartMenuProgramsFolder();
  if (!own.empty()) folders.push_back(own);
  // Every account's sits in its profile where this account's does, or where the
  // system puts it unless told otherwise.
  const std::string profile = ShellFolder(owner_, CSIDL_PROFILE, &ok);
  const std::optional<std::string_view> profiles = ParentFolder(profile);
  if (!ok || !profiles) return folders;
  std::string places[] = {"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs", ""};
  if (IsWithinFolder(own, profile)) places[1] = own.substr(profile.size());
  for (const std::string& account : files_.ListFolder(std::string(*profiles)))
    for (const std::string& place : places)
      if (!place.empty()) folders.push_back(JoinPath(JoinPath(*profiles, account), place));
  return folders;
}

void SetInstallDefaults(InstallerState& state, Services& services, ProductRegistration& product, HWND owner) {
  WinShellFolders shell(owner, services.files);
  inst::SetInstallDefaults(state, services.registry, services.messages, product, shell, services.environment,
                           services.files);
}

}  // namespace inst::win
