#pragma once
#include "process.h"

namespace inst::win {

// Works out the Start-menu folder and the proposed installation folder once the
// manifest's variables are known. Called at the end of every [Variables] section.
void SetInstallDefaults(Process& process);

}  // namespace inst::win
