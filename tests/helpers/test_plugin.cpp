// Test helper: a plug-in DLL whose self-registration records that it was called.
// It appends a line to "registered.txt" beside itself and returns the number in the
// environment variable TEST_PLUGIN_RESULT (hexadecimal; 0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&DllRegisterServer), &self);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string record(path);
  record = record.substr(0, record.rfind('\\')) + "\\registered.txt";
  if (FILE* out = std::fopen(record.c_str(), "a")) {
    std::fprintf(out, "%s\n", path);
    std::fclose(out);
  }
  char result[32] = {};
  if (GetEnvironmentVariableA("TEST_PLUGIN_RESULT", result, sizeof result) == 0) return 0;
  return static_cast<HRESULT>(std::strtoul(result, nullptr, 16));
}
