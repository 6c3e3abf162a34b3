// What an installation folder must be before anything is written to it: a name the
// installer can use, room on Windows' path length for the product's deepest file, a
// drive that exists, and space for what is chosen.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/manifest/manifest.h"

namespace inst {

// Windows' longest path to a file, without its terminating zero.
inline constexpr std::size_t kMaxFilePath = 259;

// Why the folder cannot take the installation; nothing when it can. The deepest file
// counts the product's files, the resources folder's copies and the backup an
// overwritten file is kept as.
std::optional<std::string> FolderRefusal(const ManifestLists& lists, const std::string& folder, bool drive_exists);

// Why the drive cannot take what is chosen; nothing when it can.
std::optional<std::string> SpaceRefusal(const std::string& folder, std::uint32_t required_kb, std::uint32_t free_mb);

}  // namespace inst
