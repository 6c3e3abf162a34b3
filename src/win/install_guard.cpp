#include "win/install_guard.h"

#include "core/support/exit_codes.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "win/win_messages.h"

namespace inst::win {

namespace {

// Machine-wide, whichever account or session runs the installer.
constexpr const char* kGuardName = "Global\\VORANTH Software setup";
// The holder's process number, in the environment its children inherit.
constexpr const char* kHolderVariable = "VRSETUP_GUARD_HOLDER";

// True when this program was started by a run that holds the guard and still lives.
bool HandedDown() {
  char text[16] = "";
  const DWORD length = ::GetEnvironmentVariableA(kHolderVariable, text, sizeof text);
  if (length == 0 || length >= sizeof text) return false;
  const KernelHandle holder(::OpenProcess(SYNCHRONIZE, FALSE, LeadingNumber(text)));
  return holder && ::WaitForSingleObject(holder.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

void TakeInstallGuard(const InstallerVariables& vars, Services& services, KernelHandle& held) {
  if (HandedDown()) return;
  Messages& messages = services.messages;
  for (;;) {
    KernelHandle guard(::CreateMutexA(nullptr, FALSE, kGuardName));
    // Without the object the guard cannot be had by anyone: nothing to wait for.
    if (!guard) return;
    // Abandoned: its holder was killed, and this run takes back what it left.
    const DWORD waited = ::WaitForSingleObject(guard.get(), 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
      held = std::move(guard);
      ::SetEnvironmentVariableA(kHolderVariable, FormatText("%lu", ::GetCurrentProcessId()).c_str());
      return;
    }
    if (vars.TestFlag(var::kHeadlessInstall) || vars.TestFlag(var::kUnattended)) {
      services.host.Notify(msg::kInstallInProgressTitle, msg::kInstallInProgress);
      messages.EndRun(kExitInstallInProgress);
    }
    if (!messages.AskRetryCancel(msg::kInstallInProgressTitle, "%s", msg::kInstallInProgress))
      messages.EndRun(kExitInstallInProgress);
  }
}

}  // namespace inst::win
