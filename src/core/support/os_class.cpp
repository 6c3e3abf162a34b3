#include "core/support/os_class.h"

namespace inst {

std::uint32_t OsClassFromVersion(OsPlatform platform, unsigned major, unsigned minor) {
  using namespace os_class;
  std::uint32_t bits = kAlways;
  switch (platform) {
    case OsPlatform::Windows9x:
      if (major == 4 && minor == 0) bits |= kWin9xFamily | kWin95;
      if (major == 4 && minor == 10) bits |= kWin9xFamily | kWin98;
      if (major == 4 && minor == 90) bits |= kWin9xFamily | kWinMe;
      break;
    case OsPlatform::Win32s:
      break;
    case OsPlatform::Nt:
      bits |= kNtFamily;
      if (major == 5) {
        if (minor == 0 || minor == 2)
          bits |= kWin2000;
        else if (minor == 1)
          bits |= kWinXp;
        else
          bits |= kNt;
      } else if (major == 6) {
        bits |= kVista;
      } else if (major == 7) {
        bits |= kWin7;
      } else {
        bits |= kNt;
      }
      break;
  }
  return bits;
}

}  // namespace inst
