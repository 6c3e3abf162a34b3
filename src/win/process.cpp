#include "process.h"

#include <cstdio>
#include <memory>

#include "core/support/temp_files.h"

namespace inst::win {

int WinMessageHost::ShowBox(const std::string& title, const std::string& text, unsigned style) {
  progress_.Flush();
  return ::MessageBoxA(owner_, text.c_str(), title.c_str(), style);
}

void WinMessageHost::QuitInstaller(int exit_code) {
  // A run that fails or is cancelled part-way leaves the machine as it found it.
  if (exit_code != 0 && state_.journal.recording) RollBackInstallation(state_.journal, files_, registry_);
  DeleteTempFiles(state_.temp_list, files_);
  ::PostQuitMessage(exit_code);
}

void WinMessageHost::EndProcess(int exit_code) { ::ExitProcess(static_cast<UINT>(exit_code)); }

Process::Process()
    : state([this](const std::string& name) { return environment.Get(name); }),
      host(main_window, state, files, system_registry, progress_relay),
      messages(host, state.variables),
      extractor(state, files, messages, *progress),
      product(state, registry, messages, [] {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        return FormatText("%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
      }),
      run(state, registry, files, messages, extractor, *progress) {
  state.variables.SetFatalHandler([this](const std::string& message) { messages.FatalText(message); });
}

Process& TheProcess() {
  // On the heap: a static object with constant parts would be stored whole in the
  // program's file.
  static const std::unique_ptr<Process> process = std::make_unique<Process>();
  return *process;
}

}  // namespace inst::win
