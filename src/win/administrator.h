#pragma once
#include "win/process.h"

namespace inst::win {

// True when the process may install for the whole machine.
bool IsAdministrator(const InstallerVariables& variables);
// True when the process runs with the administrators' rights enabled (elevated).
bool IsElevated();

}  // namespace inst::win
