#pragma once
#include "win/process.h"

namespace inst::win {

// Creates the run's temporary folder, sets TmpDir and records the folder in temp_list.
void CreateTempFolder(InstallerState& state, Services& services);

// Finds, verifies and reads the payload and its manifest (or, in an installed copy,
// the manifest beside the program). Ends the run with a fatal message on failure.
void OpenPayload(Process& process);

}  // namespace inst::win
