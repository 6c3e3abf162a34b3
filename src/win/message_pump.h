// The one message pump of long work (the progress page, external programs,
// downloads): the window stays alive while the work runs on its thread.
#pragma once
#include <windows.h>

namespace inst::win {

// Takes one pending message, if any, and hands it to the dialog handling of
// `dialog` (keyboard navigation) or dispatches it. True when there was one.
bool DispatchPendingMessage(HWND dialog);

}  // namespace inst::win
