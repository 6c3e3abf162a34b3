// A feature's driver package: copied into the system's store, then applied to the
// devices present. Which calls run is decided here, apart from the system.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace inst {

// What a 32-bit program gets on 64-bit Windows from the device update.
inline constexpr std::uint32_t kErrorInWow64 = 0xE0000235;
// The system's 64-bit driver tool, below the Windows folder as a 32-bit program
// reaches it (System32 would be redirected to SysWOW64).
inline constexpr const char* kNativeDriverTool = "Sysnative\\pnputil.exe";

class DriverSystem {
 public:
  virtual ~DriverSystem() = default;
  // SetupCopyOEMInf: 0 or the Windows error.
  virtual std::uint32_t CopyDriverPackage(const std::string& inf) = 0;
  // UpdateDriverForPlugAndPlayDevices from this process: 0 or the Windows error.
  virtual std::uint32_t UpdateDevices(const std::string& device, const std::string& inf) = 0;
  // This is a 32-bit process on 64-bit Windows.
  virtual bool IsWow64() = 0;
  // The devices updated through the 64-bit driver tool: 0 or its failure.
  virtual std::uint32_t UpdateDevicesNatively(const std::string& inf) = 0;
};

struct DriverFailure {
  const char* message;  // what the box says
  const char* call;     // what failed, for the log
  std::uint32_t error;
};

// Installs the package at `inf`, and for the devices of `device` (a hardware
// identifier; none when empty). A package already in the store is no failure.
std::optional<DriverFailure> InstallDriverPackage(DriverSystem& system, const std::string& inf,
                                                  const std::string& device);

}  // namespace inst
