// The wizard's run on a thread of its own, so that the window always answers: the
// window's thread shows and asks, the run's thread works. The messages between them.
#pragma once
#include <windows.h>

#include <string>

#include "win/handles.h"
#include "win/process.h"

namespace inst::win {

// Posted by the run's thread: reports wait in the progress relay's queue.
inline constexpr UINT kWmRunReports = WM_APP + 1;
// Posted by the run's thread when PerformRun has returned.
inline constexpr UINT kWmRunDone = WM_APP + 2;
// Sent by the run's thread with a BoxRequest: the box is shown by the window's
// thread, and the answer returned.
inline constexpr UINT kWmShowBox = WM_APP + 3;
// Sent by the run's thread with a StatusRequest: the status line shown or hidden.
inline constexpr UINT kWmShowStatus = WM_APP + 4;

struct BoxRequest {
  const std::string& title;
  const std::string& text;
  unsigned style;
};

struct StatusRequest {
  const std::string* text;  // none: hide it
};

// Starts PerformRun on a thread of its own, reporting to `window`; the thread posts
// kWmRunDone when the run has returned (a run that fails or is cancelled ends the
// process from its thread, as a headless run does).
class RunThread {
 public:
  void Start(Process& process, HWND window);
  // The window's thread, once kWmRunDone has come: the thread's end.
  void Join();

 private:
  KernelHandle thread_;
};

}  // namespace inst::win
