// The run itself, apart from the pages that show it: install, repair or remove, in
// order. A headless run calls it directly; the wizard's progress page once shown.
#pragma once
#include "win/process.h"

namespace inst::win {

// Applies the configuration page's choice, then installs, repairs or removes as the
// run mode says, with progress through the services' relay.
void PerformRun(Process& process);

// The whole of a headless run: the run, then the end of the message loop; returns
// the exit code.
int RunHeadless(Process& process);

}  // namespace inst::win
