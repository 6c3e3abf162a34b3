// Free space on a drive, as the install-folder page shows it and a headless run
// checks it, and whether a folder's drive exists.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/install/installer_state.h"

namespace inst::win {

// Free megabytes for the user on the drive of `path` (none when unknown); sets the
// state's cluster size (4096 when it cannot be read).
std::optional<std::uint32_t> QueryFreeSpace(InstallerState& state, const std::string& path);

// False only for a drive letter that names no drive.
bool DriveExists(const std::string& folder);

}  // namespace inst::win
