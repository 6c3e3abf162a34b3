#include "win/message_pump.h"

namespace inst::win {

bool DispatchPendingMessage(HWND dialog) {
  MSG message;
  if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  // The quit message ends the wizard's own loop: put it back for that loop.
  if (message.message == WM_QUIT) {
    ::PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }
  if (dialog == nullptr || !::IsDialogMessageA(dialog, &message)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return true;
}

}  // namespace inst::win
