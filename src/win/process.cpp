#include "win/process.h"

#include <cstdio>
#include <memory>

#include "core/support/temp_files.h"
#include "core/support/text.h"
#include "win/run_thread.h"

namespace inst::win {

int WinMessageHost::ShowBox(const std::string& title, const std::string& text, unsigned style) {
  progress_.Flush();
  // A question from the run's thread is asked on the window's, which waits for it.
  if (owner_ != nullptr && ::GetWindowThreadProcessId(owner_, nullptr) != ::GetCurrentThreadId()) {
    BoxRequest request{title, text, style};
    return static_cast<int>(::SendMessageA(owner_, kWmShowBox, 0, reinterpret_cast<LPARAM>(&request)));
  }
  return ::MessageBoxA(owner_, ui_.Show(text).c_str(), ui_.Show(title).c_str(), style);
}

void ProgressRelay::ReportProgress(int percent, const char* text) {
  // A line starting with "\r" takes the place of the one before it on the page.
  if (text != nullptr && *text != '\0') log_.Write(text[0] == '\r' ? text + 1 : text);
  bool post = false;
  void (*post_fn)(void*) = nullptr;
  void* context = nullptr;
  {
    const SpinGuard guard(queue_lock_);
    if (post_ == nullptr) {
      // Straight to the page: no run thread works (or this is a headless run).
    } else {
      // A bare position after another bare position replaces it.
      if (text == nullptr && percent >= 0 && !queue_.empty() && !queue_.back().text && queue_.back().percent >= 0)
        queue_.back().percent = percent;
      else
        queue_.push_back({percent, text ? std::optional<std::string>(text) : std::nullopt});
      post = !posted_;
      posted_ = true;
      post_fn = post_;
      context = post_context_;
    }
  }
  if (post_fn == nullptr) {
    if (target) target->ReportProgress(percent, text);
  } else if (post) {
    post_fn(context);
  }
}

void ProgressRelay::Flush() {
  bool queued = false;
  {
    const SpinGuard guard(queue_lock_);
    queued = post_ != nullptr;
  }
  if (!queued && target) target->Flush();
}

void ProgressRelay::QueueReports(void (*post)(void*), void* context) {
  const SpinGuard guard(queue_lock_);
  post_ = post;
  post_context_ = context;
}

bool ProgressRelay::RunThreadWorking() {
  const SpinGuard guard(queue_lock_);
  return post_ != nullptr;
}

void ProgressRelay::DeliverQueued() {
  std::vector<Report> batch;
  {
    const SpinGuard guard(queue_lock_);
    batch.swap(queue_);
    posted_ = false;
  }
  if (!target) return;
  for (const Report& report : batch)
    target->ReportProgress(report.percent, report.text ? report.text->c_str() : nullptr);
  target->Flush();
}

void WinMessageHost::QuitInstaller(int exit_code) {
  if (!IsSuccessCode(exit_code)) TakeBackFailedRun();
  temp_folder_hold_.reset();
  DeleteTempFiles(state_.temp_list, files_);
  ::PostQuitMessage(exit_code);
}

void WinMessageHost::TakeBackFailedRun() {
  // A run that fails or is cancelled part-way leaves the machine as it found it, and
  // running programs learn of a PATH taken back.
  const bool environment = state_.journal.ChangedValuesUnder(kHKLM, kEnvironmentKey);
  state_.journal.RollBack(registry_);
  if (environment) AnnounceEnvironmentChange();
}

void WinMessageHost::HoldTempFolder(const std::string& folder) {
  temp_folder_hold_.reset(::CreateFileA(folder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

void WinMessageHost::EndProcess(int exit_code) { ::ExitProcess(static_cast<UINT>(exit_code)); }

void WinMessageHost::WriteStandardError(const std::string& text) { WriteToHandle(STD_ERROR_HANDLE, text); }

void WriteToHandle(DWORD which, const std::string& text) {
  // A program of the window subsystem has standard handles only when its starter
  // gave it some (a script's redirection, a deployment tool's pipe).
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string LogClock() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return FormatText("%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                    now.wSecond, now.wMilliseconds);
}

Services::Services(InstallerState& state, const HWND& owner)
    : registry(system_registry, state.journal),
      log(LogClock),
      screen(owner, ui, state, files, system_registry, progress),
      host(screen, log, state.variables),
      messages(host, state.variables) {}

Session::Session(InstallerState& state, Services& services)
    : extractor(state, services.files, services.messages, services.progress),
      product(state, services.registry, services.files, services.messages,
              [] {
                SYSTEMTIME now;
                ::GetLocalTime(&now);
                return FormatText("%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
              }),
      run(state, services.registry, services.files, services.messages, extractor, services.progress) {}

Process::Process()
    : state([](const std::string& name) { return WinEnvironment().Get(name); }),
      services(state, program.main_window),
      session(state, services) {
  state.variables.SetFatalHandler([this](const std::string& message) { services.messages.FatalText(message); });
}

Process& TheProcess() {
  // On the heap: a static object with constant parts would be stored whole in the
  // program's file.
  static const std::unique_ptr<Process> process = std::make_unique<Process>();
  return *process;
}

}  // namespace inst::win
