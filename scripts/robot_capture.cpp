#include "robot_capture.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace capture {

namespace {

// Creates the signal file (with a content) and waits until the other side deletes it.
void Release(const std::string& path, const std::string& content) {
  HANDLE signal = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (signal != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(signal, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(signal);
  }
  for (int i = 0; i < 200 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
}

}  // namespace

void HoldForPicture(HWND window, const std::string& signal) {
  // Wine keeps the X window of a top-level window in this property.
  const auto xid = reinterpret_cast<std::uintptr_t>(GetPropA(window, "__wine_x11_whole_window"));
  Release(signal, std::to_string(static_cast<unsigned long long>(xid)));
}

Outcome RunImmediateAction(const std::string& action, HWND main_window, HANDLE thread, ULONGLONG started,
                           std::string& line) {
  if (action == "mark") {
    // At once: the benchmark times the work between two.
    line = "{\"mark\":" + std::to_string(GetTickCount64() - started) + "}";
    return Outcome::kDone;
  }
  if (action.rfind("shotwhen:", 0) != 0) return Outcome::kNotCapture;
  // Waits, without the usual pause, for the control to show, then holds the program
  // still while its window is captured: a page that passes quickly.
  const auto colon = action.find(':', 9);
  HWND control = GetDlgItem(main_window, std::atoi(action.c_str() + 9));
  if (control == nullptr || !IsWindowVisible(control) || colon == std::string::npos) return Outcome::kWaiting;
  // A progress bar counts once the work has moved it.
  char name[64] = {};
  GetClassNameA(control, name, sizeof name);
  DWORD_PTR position = 1;
  if (_stricmp(name, "msctls_progress32") == 0)
    SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 200, &position);
  if (position == 0) return Outcome::kWaiting;
  // Time to paint what it has (it pumps its messages between files) before it is
  // held: otherwise the picture shows the page as it was before the work.
  Sleep(200);
  SuspendThread(thread);
  HoldForPicture(main_window, action.substr(colon + 1));
  ResumeThread(thread);
  return Outcome::kDone;
}

void MemoryPeaks::Sample(HANDLE process) {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process, &memory, sizeof memory)) return;
  // The commit charge counts the private bytes (Wine leaves PrivateUsage at 0).
  working_set = std::max(working_set, memory.PeakWorkingSetSize);
  private_bytes = std::max(private_bytes, memory.PeakPagefileUsage);
}

}  // namespace capture
