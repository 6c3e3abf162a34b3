// One installation at a time on this machine: a named mutex held for the whole run,
// handed down to the installers the run itself starts and waits for.
#pragma once
#include "win/process.h"

namespace inst::win {

// Takes the guard (into Program::install_guard), or finds it handed down by the run
// that started this one. While another run holds it: Retry or Cancel in a wizard; a
// headless or unattended run ends at once with kExitInstallInProgress.
void TakeInstallGuard(const InstallerVariables& vars, Services& services, KernelHandle& held);

}  // namespace inst::win
