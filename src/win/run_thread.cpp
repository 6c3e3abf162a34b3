#include "win/run_thread.h"

#include <memory>

#include "win/run_sequence.h"

namespace inst::win {

namespace {

struct RunStart {
  Process* process;
  HWND window;
};

void PostReports(void* window) { ::PostMessageA(static_cast<HWND>(window), kWmRunReports, 0, 0); }

// The run's thread. It may touch the run's state (variables, lists, journal, files,
// registry) and report through the progress relay, whose queue and stop request are
// all it shares with the window's thread; boxes and the status line it asks the
// window's thread for. The window's thread, meanwhile, touches only the window, the
// pages' controls and the relay's shared parts, until kWmRunDone.
DWORD WINAPI RunMain(void* parameter) {
  // Handed over by RunThread::Start. The stub is built without exceptions: nothing
  // can leave this procedure but the run's own end of the process.
  const std::unique_ptr<RunStart> start(static_cast<RunStart*>(parameter));
  PerformRun(*start->process);
  ::PostMessageA(start->window, kWmRunDone, 0, 0);
  return 0;
}

}  // namespace

void RunThread::Start(Process& process, HWND window) {
  process.services.progress.QueueReports(PostReports, window);
  auto start = std::make_unique<RunStart>(RunStart{&process, window});
  thread_.reset(::CreateThread(nullptr, 0, RunMain, start.get(), 0, nullptr));
  if (!thread_) {
    process.services.progress.QueueReports(nullptr, nullptr);
    PerformRun(process);  // no second thread to be had: the run works here, as headless
    ::PostMessageA(window, kWmRunDone, 0, 0);
    return;
  }
  static_cast<void>(start.release());  // the thread's now
}

void RunThread::Join() {
  if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
  thread_.reset();
}

}  // namespace inst::win
