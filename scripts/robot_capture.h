// The test robot's actions for pictures and timings, which the main job's
// screenshots and the benchmarks use: holding the program still while a window is
// captured, the time since the start, the program's memory.
#pragma once
#include <windows.h>

#include <string>

namespace capture {

// Writes the window's X window into the signal file and waits until the harness,
// having captured it, deletes the file.
void HoldForPicture(HWND window, const std::string& signal);

enum class Outcome { kNotCapture, kWaiting, kDone };

// Runs "mark" (the milliseconds since `started`, into `line`) or "shotwhen:ID:PATH"
// (the picture as soon as control ID shows, or a progress bar has moved, with the
// program's `thread` held still); kNotCapture for any other action.
Outcome RunImmediateAction(const std::string& action, HWND main_window, HANDLE thread, ULONGLONG started,
                           std::string& line);

// The most private bytes and working set seen so far, updated from the process now.
struct MemoryPeaks {
  SIZE_T working_set = 0;
  SIZE_T private_bytes = 0;
  void Sample(HANDLE process);
};

}  // namespace capture
