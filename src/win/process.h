// The one place that holds the installer's process-wide state, split by job: the
// program and its windows, the services a run uses, the session of this run, and
// the outcome that the actions after the run take.
#pragma once
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/install/extraction.h"
#include "core/install/installation_run.h"
#include "core/install/installer_state.h"
#include "core/install/product_registration.h"
#include "core/payload/fd_file.h"
#include "core/support/messages.h"
#include "core/support/run_log.h"
#include "core/support/spin_lock.h"
#include "core/wizard/configuration.h"
#include "core/wizard/ui_texts.h"
#include "win/handles.h"
#include "win/run_times.h"
#include "win/stop_request.h"
#include "win/win_registry.h"
#include "win/win_system.h"

namespace inst::win {

// Message boxes and the end of the run on the real system.
class WinMessageHost final : public MessageHost {
 public:
  WinMessageHost(const HWND& owner, const UiTexts& ui, InstallerState& state, FileSystem& files, Registry& registry,
                 Progress& progress)
      : owner_(owner), ui_(ui), state_(state), files_(files), registry_(registry), progress_(progress) {}
  int ShowBox(const std::string& title, const std::string& text, unsigned style) override;
  void QuitInstaller(int exit_code) override;
  [[noreturn]] void EndProcess(int exit_code) override;
  void WriteStandardError(const std::string& text) override;
  // Holds the run's temporary folder open until the run ends, so that no other run
  // takes it for a killed run's (interrupted_runs.h).
  void HoldTempFolder(const std::string& folder);

 private:
  // The journal rolled back: what the run wrote, the configuration page's choices included.
  void TakeBackFailedRun();

  FileHandle temp_folder_hold_;
  const HWND& owner_;
  const UiTexts& ui_;
  InstallerState& state_;
  FileSystem& files_;
  Registry& registry_;
  Progress& progress_;
};

// Where progress goes: to the progress page once the wizard window shows it,
// nowhere before that and in a headless run. Every line also goes to the run's log.
//
// In the wizard the run works on a thread of its own (run_thread.h). What it and
// the window's thread share is the queue of reports here, which the run fills and
// the window's thread empties into the page when the run posts, and the stop
// request (stop_request.h), which this reads for the run.
class ProgressRelay final : public Progress {
 public:
  ProgressRelay(RunLog& log, RunTimes& times, StopRequest& stop) : log_(log), times_(times), stop_(stop) {}

  // Either thread: straight to the page, or queued while a run thread reports.
  void ReportProgress(int percent, const char* text) override;
  void Flush() override;
  bool StopRequested() override { return stop_.Requested(); }
  void BeginStep(const char* step) override { times_.Begin(step); }

  // The window's thread: from now on reports are queued, and `post` tells the
  // window there are some; null goes back to reporting straight.
  void QueueReports(void (*post)(void*), void* context);
  // The window's thread: hands the queued reports to the page.
  void DeliverQueued();

  // A run's thread reports through the queue (from QueueReports until it is done).
  bool RunThreadWorking();

  Progress* target = nullptr;  // the window's thread sets it while no run thread works

 private:
  struct Report {
    int percent;
    std::optional<std::string> text;
  };
  RunLog& log_;
  RunTimes& times_;
  StopRequest& stop_;
  SpinLock queue_lock_;
  std::vector<Report> queue_;
  bool posted_ = false;
  void (*post_)(void*) = nullptr;
  void* post_context_ = nullptr;
};

// The status box of the wizard window, where there is one.
class StatusDisplay {
 public:
  virtual ~StatusDisplay() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void HideStatus() = 0;
};

// This program: its own file and the windows it shows.
struct Program {
  HINSTANCE instance = nullptr;
  // Owner of every message box; null before it exists and in a headless run.
  HWND main_window = nullptr;
  HWND splash = nullptr;
  StatusDisplay* status = nullptr;  // set while the wizard window exists
  std::string path;
  std::string manifest_signature;
  // Kept open while its payload is read.
  FdFile file;
  // The common controls, loaded with the wizard's window and kept while the process lives.
  Library common_controls;
  // The machine's installation guard, while this run holds it (not when the run
  // that started this one handed it down).
  KernelHandle install_guard;
};

// The system as a run uses it: files, registry, boxes, the log and progress.
struct Services {
  Services(InstallerState& state, const HWND& owner);

  WinEnvironment environment;
  WinFileSystem files;
  WinRegistry system_registry;
  // Every registry access goes through here, so that an installation run that fails
  // can take back the keys and values it created.
  JournalingRegistry registry;
  RunTimes times;
  RunLog log;
  StopRequest stop;
  ProgressRelay progress{log, times, stop};
  // The language of every text a window shows (the log's stay English).
  UiTexts ui;
  WinMessageHost screen;
  // Every box goes through here, to the log and, unattended, to standard error.
  LoggedMessageHost host;
  Messages messages;
};

// This run's work on the state: the payload and what writes from it, the product's
// registration, the installation run.
struct Session {
  Session(InstallerState& state, Services& services);

  FileExtractor extractor;
  ProductRegistration product;
  InstallationRun run;
};

// What the run leaves to the actions after it: the completion page's choices and the
// removal's clean-up script.
struct Outcome {
  struct Document {
    std::string title;
    std::string path;
    bool chosen = false;
  };
  bool quickstart_choice = false;
  std::vector<Document> documents;  // in the order they are opened
  bool java_choice = false;
  bool program_choice = false;
  // The maker's IDE, when the run found it installed or installed it: the completion
  // page offers to start it.
  std::string tessara_path;
  // Started when the run has ended.
  std::string cleanup_script;
};

// The installer's process-wide state; each part uses only the parts before it.
struct Process {
  Process();

  Program program;
  InstallerState state;
  Services services;
  Session session;
  // What the configuration page chose, applied when the run starts.
  ConfigurationChoice configuration;
  Outcome outcome;

  InstallerVariables& variables() { return state.variables; }
};

Process& TheProcess();

// Writes to the standard handle (STD_OUTPUT_HANDLE or STD_ERROR_HANDLE), if the
// program was given one.
void WriteToHandle(DWORD which, const std::string& text);
// The local time as the run's log shows it.
std::string LogClock();

}  // namespace inst::win
