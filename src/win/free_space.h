// Free space on a drive, as the install-folder page shows it.
#pragma once
#include <cstdint>
#include <string>

#include "core/install/installer_state.h"

namespace inst::win {

// Free megabytes for the user on the drive of `path` (0 when unknown); sets the
// state's cluster size (4096 when it cannot be read).
std::uint32_t QueryFreeSpace(InstallerState& state, const std::string& path);

}  // namespace inst::win
