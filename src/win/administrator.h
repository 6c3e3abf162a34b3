#pragma once
#include "process.h"

namespace inst::win {

// True when the process may install for the whole machine.
bool IsAdministrator(Process& process);

}  // namespace inst::win
