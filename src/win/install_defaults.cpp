#include "install_defaults.h"

namespace inst::win {

void SetInstallDefaults(Process&) {
  // The registry-based defaults (Start-menu folder, earlier installation folder)
  // are worked out here once the registry layer exists.
}

}  // namespace inst::win
