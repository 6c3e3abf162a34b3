// The wizard's six pages in their table, shown in the window.
#pragma once
#include "win/process.h"

namespace inst::win {

// Creates the wizard window on its first page and runs it; returns the exit code.
int RunWizard(Process& process);

}  // namespace inst::win
