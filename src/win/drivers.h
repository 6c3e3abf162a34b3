// Driver packages of a feature: copied into the system's store and applied to the
// devices present.
#pragma once
#include "core/manifest/manifest.h"
#include "win/process.h"

namespace inst::win {

// Copies the feature's driver package into the system's store and updates the
// present devices it serves; failures are shown, and the run goes on.
void InstallDriver(Services& services, InstallerState& state, HWND window, const FeatureRecord& feature);

}  // namespace inst::win
