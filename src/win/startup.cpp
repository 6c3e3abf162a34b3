// The installer's entry point: command line, run mode, payload, privileges, then the
// wizard or a headless run.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "core/support/command_line.h"
#include "core/support/limits.h"
#include "core/support/support_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/configuration.h"
#include "core/wizard/wizard_messages.h"
#include "win/administrator.h"
#include "win/external_installers.h"
#include "win/handles.h"
#include "win/install_guard.h"
#include "win/interrupted_runs.h"
#include "win/main_window.h"
#include "win/open_payload.h"
#include "win/process.h"
#include "win/run_sequence.h"
#include "win/splash.h"
#include "win/system_libraries.h"
#include "win/ui_language.h"
#include "win/win_messages.h"
#include "win/wizard_run.h"

namespace inst::win {

namespace {

void MakeProgramFolderCurrent(const std::string& program_path) {
  if (const auto folder = ParentFolder(program_path)) ::SetCurrentDirectoryA(std::string(*folder).c_str());
}

// Applies the options, then opens the log they ask for, so that even a refused
// argument is logged.
// Returns the arguments that are no option.
std::vector<std::string> ApplyCommandLine(Process& process, const char* command_line, const std::string& started_in) {
  const SplitCommandLineResult split = SplitCommandLine(command_line ? command_line : "");
  std::vector<std::string> unknown;
  for (std::size_t i = 1; i < split.arguments.size(); ++i) {
    if (!ApplyArgument(split.arguments[i], process.variables(), process.state.exclude_list))
      unknown.push_back(split.arguments[i]);
  }
  OpenRunLog(process.services.log, process.services.files, process.services.messages, process.variables(), started_in,
             split.arguments);
  if (split.argument_too_long)
    process.services.messages.FatalExit(kExitBadOption, msg::kErrorNumber, kArgumentTooLongError);
  return unknown;
}

std::string CurrentFolder() {
  char folder[MAX_PATH] = "";
  const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, folder);
  return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

// The option list, in a box and on the console the program was started from.
[[noreturn]] void ShowHelp(Process& process) {
  if (::GetStdHandle(STD_OUTPUT_HANDLE) == nullptr && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    FileHandle console(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD written = 0;
    if (console) ::WriteFile(console.get(), HelpText(), static_cast<DWORD>(std::strlen(HelpText())), &written, nullptr);
  } else {
    WriteToHandle(STD_OUTPUT_HANDLE, HelpText());
  }
  process.services.messages.ShowInfo(msg::kSetupOptionsTitle, "%s", HelpText());
  process.services.messages.EndRun(0);
}

const char* RunModeName(const InstallerVariables& variables) {
  if (!variables.TestFlag(var::kHeadlessInstall)) return "wizard";
  return variables.TestFlag(var::kRemove) ? "headless removal" : "headless installation";
}

void OpenDocument(const std::string& path) { ::ShellExecuteA(nullptr, "open", path.c_str(), "", "", SW_RESTORE); }

void PerformPostRunActions(Process& process) {
  InstallerVariables& vars = process.variables();
  if (const std::string* guide = vars.GetVariable(var::kReadQuickstart); guide && process.outcome.quickstart_choice) {
    const std::string path = JoinPath(vars.ValueOf(var::kInstDir), *guide);
    if (process.services.files.FileExists(path))
      OpenDocument(path);
    else
      process.services.messages.ShowError(msg::kQuickstartTitle, msg::kNoQuickstartGuide, path.c_str());
  }
  for (const Outcome::Document& document : process.outcome.documents) {
    if (!document.chosen) continue;
    if (process.services.files.FileExists(document.path)) {
      OpenDocument(document.path);
    } else {
      process.services.messages.ShowError(msg::kReadPdfTitle, msg::kNoDocument, document.title.c_str(),
                                          document.path.c_str());
    }
  }
  if (process.outcome.java_choice)
    RunAndWait(process.services, process.state, nullptr, vars.ValueOf(var::kJava), "");
  else if (process.outcome.program_choice && !process.outcome.tessara_path.empty())
    RunAndWait(process.services, process.state, nullptr, process.outcome.tessara_path, "");

  if (!process.outcome.cleanup_script.empty()) {
    const std::string& script = process.outcome.cleanup_script;
    const std::string script_folder(ParentFolder(script).value_or(""));
    // This program's folder is the current directory, which would keep the script
    // from removing it.
    ::SetCurrentDirectoryA(script_folder.c_str());
    // The temporary folder is gone by now; a working folder that does not exist
    // would keep the script from starting.
    std::string working = process.variables().ValueOf(var::kTmpDir);
    if (!process.services.files.IsDirectory(working)) working = script_folder;
    // Hidden and not waited for: it deletes this program's own file once it has exited.
    ::ShellExecuteA(nullptr, "open", script.c_str(), "", working.c_str(), SW_HIDE);
  }
}

int RunInstaller(HINSTANCE instance, const char* command_line) {
  Process& process = TheProcess();
  process.services.progress.BeginStep("options and guard");
  process.program.instance = instance;
  process.program.path = ProgramPath();
  const std::string started_in = CurrentFolder();
  MakeProgramFolderCurrent(process.program.path);

  const std::vector<std::string> unknown = ApplyCommandLine(process, command_line, started_in);
  InstallerVariables& variables = process.variables();
  if (variables.TestFlag(var::kShowHelp)) ShowHelp(process);
  SettleInstallFolderOption(variables, process.services.messages);
  DecideRunMode(variables);
  if (const auto refusal = UnattendedRefusal(variables, unknown))
    process.services.messages.FatalExit(kExitBadOption, "%s", refusal->c_str());
  process.services.log.Write(std::string("Run mode: ") + RunModeName(variables));

  // A chained installer steps aside while another one shows its wizard.
  if (variables.TestFlag(var::kSubInstall) && ::FindWindowA(control::kWindowClass, nullptr) != nullptr)
    process.services.host.EndProcess(0);

  // Before anything is written, the temporary folder included.
  TakeInstallGuard(process.variables(), process.services, process.program.install_guard);
  const bool headless = variables.TestFlag(var::kHeadlessInstall);
  if (!headless) process.program.splash = ShowSplash(instance);

  ChooseBuiltInUiLanguage(process.variables(), process.services);
  OpenPayload(process);
  ChooseProductUiLanguage(process.variables(), process.services);

  if (!IsAdministrator(process.variables())) process.services.messages.FatalError(msg::kNeedsAdministrator);
  // Known once the manifest is read (it may withhold the PATH entry).
  if (const auto refusal = ChooseConfigurationFromCommandLine(variables, process.configuration))
    process.services.messages.FatalExit(kExitBadOption, "%s", refusal->c_str());
  HideSplash(process.program.splash);
  process.services.progress.BeginStep("earlier runs");
  if (process.program.install_guard) TakeBackKilledRuns(process.variables(), process.services);
  if (!headless) process.services.progress.BeginStep("wizard");

  const int exit_code = headless ? RunHeadless(process) : RunWizard(process);
  process.services.progress.BeginStep("actions after the run");
  PerformPostRunActions(process);
  process.services.log.Write(process.services.times.Line());
  process.services.host.ReportExitCode(exit_code);
  return exit_code;
}

}  // namespace

}  // namespace inst::win

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  inst::win::RestrictLibrarySearch();
  return inst::win::RunInstaller(instance, command_line);
}
