#include "win/drivers.h"

#include <setupapi.h>

#include "core/install/drivers.h"
#include "core/support/text.h"
#include "win/call_failure.h"
#include "win/external_installers.h"
#include "win/handles.h"
#include "win/system_libraries.h"
#include "win/win_messages.h"

namespace inst::win {

namespace {

// The error of a call that failed; a failure the system gave no code for is still one.
std::uint32_t FailureCode() {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

class WinDriverSystem final : public DriverSystem {
 public:
  WinDriverSystem(Services& services, InstallerState& state, HWND window)
      : services_(services), state_(state), window_(window) {}

  std::uint32_t CopyDriverPackage(const std::string& inf) override {
    using SetupCopyOEMInfFn = BOOL(WINAPI*)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
    auto copy = LoadProc<SetupCopyOEMInfFn>(setupapi_.get(), "SetupCopyOEMInfA");
    if (copy == nullptr) return ERROR_PROC_NOT_FOUND;
    if (copy(inf.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, nullptr, 0, nullptr, nullptr)) return 0;
    return FailureCode();
  }

  std::uint32_t UpdateDevices(const std::string& device, const std::string& inf) override {
    using UpdateDriverFn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);
    auto update = LoadProc<UpdateDriverFn>(newdev_.get(), "UpdateDriverForPlugAndPlayDevicesA");
    if (update == nullptr) return ERROR_PROC_NOT_FOUND;
    if (update(window_, device.c_str(), inf.c_str(), 0, nullptr)) return 0;
    return FailureCode();
  }

  bool IsWow64() override {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
  }

  // The system's tool adds the package and installs it on every present device it
  // suits better than the driver it has: what the update with no flags does.
  std::uint32_t UpdateDevicesNatively(const std::string& inf) override {
    char windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return FailureCode();
    const std::string tool = JoinPath(windows, kNativeDriverTool);
    const std::string arguments = "/add-driver \"" + inf + "\" /install";
    services_.log.Write(FormatText("A 32-bit program cannot update devices on 64-bit Windows: running %s %s",
                                   tool.c_str(), arguments.c_str()));
    std::uint32_t failure = ERROR_GEN_FAILURE;
    return RunAndWait(services_, state_, window_, tool, arguments, WaitFor::kProgram, &failure) ? 0 : failure;
  }

 private:
  Services& services_;
  InstallerState& state_;
  HWND window_;
  // Loaded at run time, so that a system without them still installs the rest.
  Library setupapi_{LoadSystemLibrary("setupapi.dll")};
  Library newdev_{LoadSystemLibrary("newdev.dll")};
};

}  // namespace

void InstallDriver(Services& services, InstallerState& state, HWND window, const FeatureRecord& feature) {
  const std::string inf = JoinPath(InstallationPath(state.variables, "drivers"), feature.driver_inf.value_or(""));
  WinDriverSystem system(services, state, window);
  const auto failure = InstallDriverPackage(system, inf, feature.driver_device.value_or(""));
  if (!failure) return;
  // The box says what failed; the log keeps the system's words for why.
  services.log.Write(CallFailure{failure->call, failure->error}.Report());
  services.host.ShowBox(msg::kDriverErrorTitle, FormatText("%s for %s", failure->message, feature.name.c_str()),
                        MB_OK | MB_ICONERROR);
}

}  // namespace inst::win
