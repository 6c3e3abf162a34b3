#include "win/external_installers.h"

#include <shellapi.h>

#include <ctime>

#include "core/install/download.h"
#include "core/install/install_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"
#include "win/download.h"
#include "win/handles.h"
#include "win/message_pump.h"

namespace inst::win {

namespace {

// Processes still running in the job; 0 when it cannot be asked.
DWORD ActiveProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
  if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr)) return 0;
  return info.ActiveProcesses;
}

}  // namespace

bool RunAndWait(Services& services, InstallerState& state, HWND window, const std::string& file,
                const std::string& parameters, WaitFor wait_for, std::uint32_t* failure) {
  std::uint32_t unused = 0;
  std::uint32_t& error = failure ? *failure : unused;
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = "open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  if (!::ShellExecuteExA(&info)) {
    error = ::GetLastError();
    return false;
  }
  // Ours to close, whatever happens below.
  KernelHandle program(info.hProcess);
  if (!program) return false;
  // The processes the program starts join its job. Where the system refuses (this
  // process already in a job, before Windows 8), only the program is waited for.
  KernelHandle job;
  if (wait_for == WaitFor::kProgramAndItsChildren) {
    job.reset(::CreateJobObjectA(nullptr, nullptr));
    if (job && !::AssignProcessToJobObject(job.get(), program.get())) job.reset();
  }

  std::time_t mark = std::time(nullptr);
  int tick = 1;
  auto tick_step = [&] {
    if (std::time(nullptr) - mark > 1) {
      services.progress.ReportProgress(tick, nullptr);
      mark = std::time(nullptr);
      if (++tick > 97) tick = 98;
    }
  };
  // The run waits on its own thread, the window answering meanwhile. Only a page's
  // wait (the folder page removing an earlier installation) is on the window's
  // thread, and keeps it answering itself.
  const bool pump = window != nullptr && ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
  auto wait = [&](DWORD count, const HANDLE* handles, DWORD milliseconds) {
    if (!pump) return ::WaitForMultipleObjects(count, handles, FALSE, milliseconds);
    while (DispatchPendingMessage(window)) tick_step();
    return ::MsgWaitForMultipleObjects(count, handles, FALSE, milliseconds, QS_ALLINPUT & 0xFF);
  };
  for (;;) {
    tick_step();
    const HANDLE handles[] = {program.get()};
    const DWORD result = wait(1, handles, 2000);
    if (result != WAIT_TIMEOUT && result != WAIT_OBJECT_0 + 1) break;
  }
  if (job) {
    constexpr DWORD kPollMilliseconds = 100;
    constexpr int kMaxPolls = 1800;  // three minutes: the clean-up script gives up after one
    for (int polls = 0; polls < kMaxPolls && ActiveProcesses(job.get()) > 0; ++polls) {
      tick_step();
      if (pump)
        wait(0, nullptr, kPollMilliseconds);
      else
        ::Sleep(kPollMilliseconds);
    }
  }
  services.progress.ReportProgress(100, nullptr);
  DWORD code = 0;
  if (!::GetExitCodeProcess(program.get(), &code)) {
    error = ::GetLastError();
    return false;
  }
  error = code;
  // An installer that finishes at the restart has done its part; so has this run then.
  if (code == kExitRestartNeeded) {
    state.restart_needed = true;
    services.log.Write(FormatText("%s ended with exit code %lu: a restart is needed to finish", file.c_str(),
                                  static_cast<unsigned long>(code)));
  }
  return IsSuccessCode(static_cast<int>(code));
}

void RunExternalInstallers(InstallerState& state, Services& services, Session& session, const Program& program,
                           FeatureRecord& feature) {
  state.progress_done = 0;
  if (!feature.selected || feature.installed) return;
  InstallerVariables& vars = state.variables;
  bool done = false;
  for (const InstallerRecord& installer : feature.installers) {
    std::optional<std::string> source = session.run.LocateInstaller(installer);
    if (!source) {
      if (!services.messages.AskYesNo(msg::kInstallerNotFoundTitle, msg::kInstallerNotFound,
                                      feature.description.c_str(), feature.error_message.c_str())) {
        services.messages.FatalExit(kExitCancelled, msg::kTerminatedPleaseInstall, feature.description.c_str());
      }
      done = true;
      break;
    }
    const std::string* digest = installer.Sha256Of(*source);
    if (const std::string* value = vars.GetVariable(*source)) {
      source = *value;
      state.temp_list.push_back(*source);
    }
    if (IsUrl(*source)) {
      services.progress.ReportProgress(-1, nullptr);
      if (program.status) {
        program.status->ShowStatus(FormatText(msg::kDownloadingStatus, feature.description.c_str()));
      }
      services.progress.ReportProgress(0, "");
      const std::optional<std::string> path =
          DownloadUrl(services, vars, program.main_window, *source, vars.ValueOf(var::kTmpDir), digest);
      if (program.status) program.status->HideStatus();
      // Cancel cut the download: the run ends as cancelled, and takes back what it did.
      if (!path && services.stop.Requested()) services.messages.EndRun(kExitCancelled);
      if (!path) continue;
      state.temp_list.push_back(*path);
      services.progress.ReportProgress(-1, nullptr);
      source = *path;
    }
    if (program.status) program.status->ShowStatus(msg::kInstallingComponentsStatus);
    const bool succeeded =
        RunAndWait(services, state, program.main_window, *source, vars.ExpandVariables(installer.arguments));
    if (program.status) program.status->HideStatus();
    if (succeeded) {
      done = true;
      break;
    }
  }
  if (done) {
    session.run.ProbeFeature(feature);
    return;
  }
  if (!services.messages.AskYesNo(msg::kInstallFailedTitle, msg::kInstallFailed, feature.description.c_str(),
                                  feature.error_message.c_str())) {
    services.messages.FatalExit(kExitCancelled, msg::kTerminatedSuggestInstall, feature.description.c_str());
  }
}

}  // namespace inst::win
