// Test helper: an external installer that ends with the exit code it is given and
// notes each run in "ran.txt" beside itself; given a second argument, it notes its
// own path in that file instead (a downloaded copy's folder must be left as found).
//
//   exit_with.exe CODE [RECORD]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Note(const std::string& record, const char* line) {
  if (FILE* out = std::fopen(record.c_str(), "a")) {
    std::fprintf(out, "%s\n", line);
    std::fclose(out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string self(path);
  if (argc > 2)
    Note(argv[2], path);
  else
    Note(self.substr(0, self.rfind('\\')) + "\\ran.txt", argc > 1 ? argv[1] : "");
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
