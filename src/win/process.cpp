#include "process.h"

#include <cstdio>

#include "core/support/temp_files.h"

namespace inst::win {

int WinMessageHost::ShowBox(const std::string& title, const std::string& text, unsigned style) {
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
      host(main_window, state, files, system_registry),
      messages(host, state.variables),
      extractor(state, files, messages, *progress),
      product(state, registry, messages, [] {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        char date[16];
        std::snprintf(date, sizeof date, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
        return std::string(date);
      }),
      run(state, registry, files, messages, extractor, *progress) {
  state.variables.SetFatalHandler([this](const std::string& message) { messages.FatalText(message); });
}

Process& TheProcess() {
  static Process process;
  return process;
}

}  // namespace inst::win
