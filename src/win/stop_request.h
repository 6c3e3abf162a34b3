// Cancel while the wizard's run works on its own thread: the one request the
// window's thread makes of the run. The run stops at its next check, and waits there
// while the Cancel question is open; a network request it waits on is closed at once.
#pragma once
#include <atomic>

namespace inst::win {

class StopRequest {
 public:
  // The window's thread: Yes to the Cancel question.
  void Request();
  // The window's thread: the question is open (the run waits) or answered.
  void Pause(bool on) { paused_ = on; }
  // The run's thread: whether to stop, once no question is open.
  bool Requested();

  // The run's side of a request a stop may close: held while it is waited on.
  // Release gives it back, or nothing when a stop closed it already.
  void HoldCuttable(void* handle, void (*cut)(void*));
  [[nodiscard]] void* ReleaseCuttable() { return cuttable_.exchange(nullptr); }

 private:
  std::atomic<bool> requested_{false};
  std::atomic<bool> paused_{false};
  std::atomic<void*> cuttable_{nullptr};
  std::atomic<void (*)(void*)> cut_{nullptr};
};

}  // namespace inst::win
