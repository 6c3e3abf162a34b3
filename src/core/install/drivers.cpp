#include "core/install/drivers.h"

#include "core/install/install_messages.h"

namespace inst {

namespace {

constexpr std::uint32_t kErrorFileExists = 80;

}  // namespace

std::optional<DriverFailure> InstallDriverPackage(DriverSystem& system, const std::string& inf,
                                                  const std::string& device) {
  if (const std::uint32_t error = system.CopyDriverPackage(inf)) {
    if (error == kErrorFileExists) return std::nullopt;  // in the store already: nothing to update
    return DriverFailure{msg::kDriverFilesFailed, "SetupCopyOEMInf", error};
  }
  if (device.empty()) return std::nullopt;
  // A 32-bit process cannot update devices on 64-bit Windows: a 64-bit one must.
  // Asked first, and the call's own answer heeded too, for a system that says so late.
  const bool wow64 = system.IsWow64();
  std::uint32_t error = wow64 ? kErrorInWow64 : system.UpdateDevices(device, inf);
  const char* call = "UpdateDriverForPlugAndPlayDevices";
  if (error == kErrorInWow64) {
    error = system.UpdateDevicesNatively(inf);
    call = kNativeDriverTool;
  }
  if (error == 0 || error == kErrorFileExists) return std::nullopt;
  return DriverFailure{msg::kDriverDevicesFailed, call, error};
}

}  // namespace inst
