// Hooked by the robot into the program under test: measures a control's text with the
// control's own font, which only the program's process can use, and leaves the size
// on the control as the window properties "measured width" and "measured height".
// The robot asks by sending the message "robot: measure text" to the control, with
// the width to wrap at (0: one line) as its wParam.
#include <windows.h>

#include <string>

extern "C" __declspec(dllexport) LRESULT CALLBACK MeasureText(int code, WPARAM wparam, LPARAM lparam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && sent->message == RegisterWindowMessageA("robot: measure text")) {
    HWND control = sent->hwnd;
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    const int wrap_at = static_cast<int>(sent->wParam);
    RECT needed{0, 0, wrap_at, 0};
    HDC dc = GetDC(control);
    HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | (wrap_at ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, before);
    ReleaseDC(control, dc);
    SetPropA(control, "measured width", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(needed.right)));
    SetPropA(control, "measured height", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(needed.bottom)));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
