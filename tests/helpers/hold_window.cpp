// Test helper: keeps a top-level window of a given class open, as another running
// installer's wizard would, until it is closed or killed.
//
//   hold_window.exe CLASS READY_FILE [MESSAGE_FILE]
//
// READY_FILE is created once the window exists; deleting it closes the window and
// ends the helper, so that the window is surely gone when it has ended. With
// MESSAGE_FILE, each setting
// change broadcast to the windows (WM_SETTINGCHANGE) adds a line there naming the
// section that changed ("Environment").
#include <windows.h>

#include <cstdio>

namespace {

const char* message_file = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTINGCHANGE && message_file != nullptr) {
    if (FILE* out = std::fopen(message_file, "a")) {
      std::fprintf(out, "%s\n", lparam ? reinterpret_cast<const char*>(lparam) : "");
      std::fclose(out);
    }
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (argc > 3) message_file = argv[3];
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = argv[1];
  if (!RegisterClassA(&window_class)) return 3;
  HWND window = CreateWindowExA(0, argv[1], "held", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                window_class.hInstance, nullptr);
  if (!window) return 4;
  if (FILE* ready = std::fopen(argv[2], "w")) std::fclose(ready);
  SetTimer(nullptr, 0, 100, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) break;
    DispatchMessageA(&message);
  }
  DestroyWindow(window);
  return 0;
}
