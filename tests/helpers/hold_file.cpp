// Test helper: holds a file open without sharing, as a running program holds its
// executable, until asked to let go.
//
//   hold_file.exe PATH READY_FILE RELEASE_FILE
//
// READY_FILE is created once the file is held. When RELEASE_FILE appears, the file
// is closed and RELEASE_FILE deleted, which tells the asker that it is free.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  HANDLE held =
      CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 3;
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  for (int i = 0; i < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  CloseHandle(held);
  DeleteFileA(argv[3]);
  return 0;
}
