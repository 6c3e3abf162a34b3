// The registry values that more than one place reads or writes, named once.
#pragma once

namespace inst::reg {

// Under a patch level's key: the installation's folder, and its MPLAB plug-in index.
inline constexpr const char* kInstDir = "InstDir";
inline constexpr const char* kMplabIndex = "MPIndex";
// Under the MPLAB plug-in's key: the plug-in registered last.
inline constexpr const char* kPluginPath = "currentPath";
inline constexpr const char* kPluginVersion = "currentVer";

}  // namespace inst::reg
