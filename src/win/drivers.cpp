#include "drivers.h"

#include <setupapi.h>

#include "call_failure.h"
#include "core/support/text.h"
#include "handles.h"
#include "system_libraries.h"
#include "win_messages.h"

namespace inst::win {

void InstallDriver(Process& process, const FeatureRecord& feature) {
  using SetupCopyOEMInfFn = BOOL(WINAPI*)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
  using UpdateDriverFn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);
  const std::string folder = InstallationPath(process.variables(), "drivers");
  const std::string inf = JoinPath(folder, feature.driver_inf.value_or(""));

  // Loaded at run time, so that a system without them still installs the rest.
  Library setupapi(LoadSystemLibrary("setupapi.dll"));
  Library newdev(LoadSystemLibrary("newdev.dll"));
  auto copy_inf = LoadProc<SetupCopyOEMInfFn>(setupapi.get(), "SetupCopyOEMInfA");
  auto update = LoadProc<UpdateDriverFn>(newdev.get(), "UpdateDriverForPlugAndPlayDevicesA");

  const char* message = nullptr;
  const char* call = "SetupCopyOEMInf";
  if (copy_inf == nullptr ||
      !copy_inf(inf.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, nullptr, 0, nullptr, nullptr)) {
    if (copy_inf == nullptr || ::GetLastError() != ERROR_FILE_EXISTS) message = msg::kDriverFilesFailed;
  } else if (feature.driver_device && !feature.driver_device->empty()) {
    call = "UpdateDriverForPlugAndPlayDevices";
    if (update == nullptr ||
        !update(process.program.main_window, feature.driver_device->c_str(), inf.c_str(), 0, nullptr)) {
      if (update == nullptr || ::GetLastError() != ERROR_FILE_EXISTS) message = msg::kDriverDevicesFailed;
    }
  }
  if (message == nullptr) return;
  // The box says what failed; the log keeps the system's words for why.
  process.services.log.Write(LastCallFailure(call).Report());
  process.services.host.ShowBox(msg::kDriverErrorTitle, FormatText("%s for %s", message, feature.name.c_str()),
                                MB_OK | MB_ICONERROR);
}

}  // namespace inst::win
