#include "win/system_libraries.h"

#include "core/support/text.h"
#include "win/handles.h"

namespace inst::win {

namespace {

// The flags of the newer loader (Windows 8, or 7 with its update); older systems
// refuse them with ERROR_INVALID_PARAMETER.
constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR

HMODULE Kernel32() { return ::GetModuleHandleA("kernel32.dll"); }

std::string SystemFolder() {
  char folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

}  // namespace

void RestrictLibrarySearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  if (auto restrict = LoadProc<SetDefaultDllDirectoriesFn>(Kernel32(), "SetDefaultDllDirectories")) {
    if (restrict(kSearchSystem32)) return;
  }
  if (auto set_dll_directory = LoadProc<SetDllDirectoryFn>(Kernel32(), "SetDllDirectoryA")) set_dll_directory("");
}

HMODULE LoadSystemLibrary(const char* name) {
  if (HMODULE library = ::LoadLibraryExA(name, nullptr, kSearchSystem32)) return library;
  const std::string folder = SystemFolder();
  if (folder.empty()) return nullptr;
  return ::LoadLibraryA(JoinPath(folder, name).c_str());
}

HMODULE LoadProductLibrary(const std::string& path) {
  if (HMODULE library = ::LoadLibraryExA(path.c_str(), nullptr, kSearchDllLoadDir | kSearchSystem32)) return library;
  return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace inst::win
