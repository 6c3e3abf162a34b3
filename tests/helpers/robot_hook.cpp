// Hooked by the robot into the program under test, to do there what only the
// program's own process can, when the robot sends it one of these messages:
//
// "robot: measure text" to a control, with the width to wrap at (0: one line) as
// wParam: measures the control's text with the control's own font and leaves the size
// on the control as the window properties "measured width" and "measured height".
//
// "robot: change dpi" to the program's window, with the new DPI as wParam and the
// window's present one as lParam: tells the window its monitor's scale has changed, as
// Windows does when it is dragged to another monitor, suggesting its frame at the new
// scale (the message's rectangle must lie in the program's memory).
//
// "robot: barrier" posted to the program's window: when the window's thread takes it
// from its queue, it has handled everything posted before it (the robot's clicks and
// keys), and the hook sets the robot's event "robot barrier PID".
#include <windows.h>

#include <string>

namespace {

constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED

void MeasureText(HWND control, int wrap_at) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  RECT needed{0, 0, wrap_at, 0};
  HDC dc = GetDC(control);
  HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | (wrap_at ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, before);
  ReleaseDC(control, dc);
  SetPropA(control, "measured width", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(needed.right)));
  SetPropA(control, "measured height", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(needed.bottom)));
}

void ChangeDpi(HWND window, int dpi, int old_dpi) {
  RECT frame{};
  GetWindowRect(window, &frame);
  frame.right = frame.left + MulDiv(frame.right - frame.left, dpi, old_dpi);
  frame.bottom = frame.top + MulDiv(frame.bottom - frame.top, dpi, old_dpi);
  SendMessageA(window, kDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK RobotHook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && sent->message == RegisterWindowMessageA("robot: measure text"))
    MeasureText(sent->hwnd, static_cast<int>(sent->wParam));
  if (code == HC_ACTION && sent->message == RegisterWindowMessageA("robot: change dpi"))
    ChangeDpi(sent->hwnd, static_cast<int>(sent->wParam), static_cast<int>(sent->lParam));
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK RobotQueueHook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* taken = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && taken->message == RegisterWindowMessageA("robot: barrier")) {
    const std::string name = "robot barrier " + std::to_string(GetCurrentProcessId());
    if (HANDLE reached = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
      SetEvent(reached);
      CloseHandle(reached);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
