// The licence text the licence page shows.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "core/support/os.h"

namespace inst {

// The box shows at most this many bytes of the licence; the rest is not shown.
inline constexpr std::size_t kMaxLicenceText = 16384;

// The first bytes of the licence file, as they are; none when there is no file
// to read (path null or not readable).
std::optional<std::string> ReadLicenceText(FileSystem& files, const std::string* path);

}  // namespace inst
