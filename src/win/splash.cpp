#include "win/splash.h"

#include "win/win_messages.h"

namespace inst::win {

HWND ShowSplash(HINSTANCE instance) {
  constexpr int kWidth = 150;
  constexpr int kHeight = 40;
  // Centred on the work area, as the wizard's window is.
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int x = (work.left + work.right - kWidth) / 2;
  const int y = (work.top + work.bottom - kHeight) / 2;
  HWND splash = ::CreateWindowExA(0, "STATIC", msg::kVerifyingInstaller, WS_POPUP | WS_BORDER | SS_CENTER, x, y, kWidth,
                                  kHeight, nullptr, nullptr, instance, nullptr);
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
