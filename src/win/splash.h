#pragma once
#include <windows.h>

namespace inst::win {

// The small window shown while the payload is verified; hidden, not destroyed.
HWND ShowSplash(HINSTANCE instance);
void HideSplash(HWND splash);

}  // namespace inst::win
