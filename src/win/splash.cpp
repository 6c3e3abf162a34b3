#include "splash.h"

namespace inst::win {

HWND ShowSplash(HINSTANCE instance) {
  constexpr int kWidth = 150;
  constexpr int kHeight = 40;
  RECT desktop{};
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  const int x = (desktop.right - desktop.left - kWidth) / 2;
  const int y = (desktop.bottom - desktop.top - kHeight) / 2;
  HWND splash =
      ::CreateWindowExA(0, "STATIC", "Verifying installer integrity - please wait", WS_POPUP | WS_BORDER | SS_CENTER, x,
                        y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (splash == nullptr) return nullptr;
  ::SendMessageA(splash, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  ::ShowWindow(splash, SW_SHOW);
  ::UpdateWindow(splash);
  return splash;
}

void HideSplash(HWND splash) {
  if (splash != nullptr) ::ShowWindow(splash, SW_HIDE);
}

}  // namespace inst::win
