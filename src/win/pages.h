// The wizard's six pages and the frame that drives them. In a headless run every
// page asks to be skipped, and the progress page does the work on its way through.
#pragma once
#include "../core/wizard.h"
#include "process.h"

namespace inst::win {

// The page table: Welcome, Licence, Installdir, Configuration, Copyfiles, Complete.
std::vector<PageRecord> MakePageTable(Process& process);

// The work of the progress page for the run's mode: install, repair or remove.
void RunProgressPageWork(Process& process);

// Runs the whole page sequence of a headless run in one call.
void RunHeadless(Process& process);

}  // namespace inst::win
