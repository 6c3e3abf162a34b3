// The wizard's six pages. In a headless run every page asks to be skipped, and the
// progress page does the work on its way through.
#pragma once
#include <memory>

#include "core/wizard/wizard.h"
#include "main_window.h"
#include "process.h"

namespace inst::win {

// The work of the progress page for the run's mode: install, repair or remove.
void RunProgressPageWork(Process& process);

// Runs the whole page sequence of a headless run in one call.
void RunHeadless(Process& process);

// Creates the wizard window on its first page and runs it; returns the exit code.
int RunWizard(Process& process);

}  // namespace inst::win
