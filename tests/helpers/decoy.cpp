// Test helper: a decoy library. Copied under the name of a library the installer
// loads and planted where it must not be loaded from; when it is loaded anyway it
// leaves a marker file "C:\decoys\NAME.loaded".
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(instance, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.find_last_of('\\') + 1);
  CreateDirectoryA("C:\\decoys", nullptr);
  const std::string marker = "C:\\decoys\\" + name + ".loaded";
  HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
