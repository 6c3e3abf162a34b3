// Test helper: the program the test prefix opens documents with. Notes the document
// in "opened.txt" beside itself, after its own creation time: the shell starts one
// of these per document without waiting, so the time, not the line order, tells
// the order in which the documents were opened.
//
//   record_open.exe DOCUMENT
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string record(path);
  record = record.substr(0, record.rfind('\\')) + "\\opened.txt";
  FILETIME created{}, unused{};
  GetProcessTimes(GetCurrentProcess(), &created, &unused, &unused, &unused);
  const unsigned long long when =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  // Several may finish at once: retry until the file is ours to append to.
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE file =
        CreateFileA(record.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(10);
      continue;
    }
    char line[MAX_PATH + 64];
    const int size = std::snprintf(line, sizeof line, "%llu %s\r\n", when, argc > 1 ? argv[1] : "");
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return 0;
  }
  return 1;
}
