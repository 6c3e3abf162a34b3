#include "win/stop_request.h"

#include <windows.h>

namespace inst::win {

void StopRequest::Request() {
  requested_ = true;
  if (void* handle = cuttable_.exchange(nullptr)) cut_.load()(handle);
}

bool StopRequest::Requested() {
  // Only the run's own thread waits here: the window's never checks.
  while (paused_ && !requested_) ::Sleep(20);
  return requested_;
}

void StopRequest::HoldCuttable(void* handle, void (*cut)(void*)) {
  cut_ = cut;
  cuttable_ = handle;
  // A stop asked for just before: cut now.
  if (requested_) Request();
}

}  // namespace inst::win
