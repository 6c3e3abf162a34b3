// Test helper: an external installer that ends with the exit code it is given and
// notes each run in "ran.txt" beside itself.
//
//   exit_with.exe CODE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string record(path);
  record = record.substr(0, record.rfind('\\')) + "\\ran.txt";
  if (FILE* out = std::fopen(record.c_str(), "a")) {
    std::fprintf(out, "%s\n", argc > 1 ? argv[1] : "");
    std::fclose(out);
  }
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
