// Runs that were killed part-way (a power cut, a deployment tool's time-out): their
// journals, kept machine-wide, and their temporary folders.
#pragma once
#include <string>

#include "win/process.h"

namespace inst::win {

// Where this run keeps its journal (the folder made when needed); empty when there
// is nowhere to keep one.
std::string NewJournalPath(FileSystem& files);

// Takes back what killed runs left half done, with a notice in a wizard, and
// removes their temporary folders. Only for the holder of the installation guard:
// any other run's journal may belong to a run that is still alive.
void TakeBackKilledRuns(const InstallerVariables& variables, Services& services);

// Keeps this run's own temporary folder from being taken for a killed run's.
bool TempFolderHeld(const std::string& folder);

}  // namespace inst::win
