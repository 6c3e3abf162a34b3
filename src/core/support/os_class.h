// The Windows version class, a bit set the installer tests for the family of the
// running system.
#pragma once
#include <cstdint>

namespace inst {

namespace os_class {
inline constexpr std::uint32_t kAlways = 0x10000;
inline constexpr std::uint32_t kWin9xFamily = 0x10;
inline constexpr std::uint32_t kNtFamily = 0x40;
inline constexpr std::uint32_t kWin95 = 0x01;
inline constexpr std::uint32_t kWin98 = 0x02;
inline constexpr std::uint32_t kWinMe = 0x04;
inline constexpr std::uint32_t kNt = 0x100;
inline constexpr std::uint32_t kWin2000 = 0x200;  // also Server 2003
inline constexpr std::uint32_t kWinXp = 0x400;
inline constexpr std::uint32_t kVista = 0x800;
inline constexpr std::uint32_t kWin7 = 0x1000;
}  // namespace os_class

// Platform identifiers as the system reports them.
enum class OsPlatform { Win32s = 0, Windows9x = 1, Nt = 2 };

std::uint32_t OsClassFromVersion(OsPlatform platform, unsigned major, unsigned minor);

}  // namespace inst
