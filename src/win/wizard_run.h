// The wizard's six pages in their table, run in the window or, headless, in one
// pass without it.
#pragma once
#include "win/process.h"

namespace inst::win {

// Runs the whole page sequence of a headless run in one call.
void RunHeadless(Process& process);

// Creates the wizard window on its first page and runs it; returns the exit code.
int RunWizard(Process& process);

}  // namespace inst::win
