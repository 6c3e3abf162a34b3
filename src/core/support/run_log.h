// What a run reports for the people who could not watch it: the run's log
// ("--log="), and the message boxes of an unattended run ("--unattended"), which
// are answered by rule instead of shown.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/messages.h"
#include "core/support/os.h"
#include "core/support/spin_lock.h"

namespace inst {

// Written through as it goes, entry by entry, so that a run killed part-way still
// leaves everything up to the kill.
class RunLog {
 public:
  // The local time as the log shows it.
  using Clock = std::string (*)();
  explicit RunLog(Clock clock) : clock_(clock) {}

  void Open(std::unique_ptr<OutputFile> file) { file_ = std::move(file); }
  bool IsOpen() const { return file_ != nullptr; }
  // One entry: the time, then the text, its later lines indented. Nothing when
  // no log was asked for. The wizard's run and its window may both write.
  void Write(std::string_view text);

 private:
  Clock clock_;
  std::unique_ptr<OutputFile> file_;
  SpinLock lock_;
};

// Opens the log that "--log=" (the variable "LogFile") asks for, a relative path
// taken from `working_folder` (where the run was started from), and writes the
// options into it. A log that cannot be created ends the run: whoever asked for
// it relies on it.
void OpenRunLog(RunLog& log, FileSystem& files, Messages& messages, const InstallerVariables& variables,
                const std::string& working_folder, const std::vector<std::string>& arguments);

// The answer an unattended run gives a box: No to a question, Cancel to Retry or
// Cancel, Ignore to a file in use (it waits for the restart), OK to a notice. Each
// leads the run the way a person's same click would.
int UnattendedAnswer(unsigned style);

// Every box goes through here: written to the log with the answer given, and in
// an unattended run (the flag "Unattended") not shown at all: its title and text
// go to standard error and the box takes its unattended answer.
class LoggedMessageHost final : public MessageHost {
 public:
  LoggedMessageHost(MessageHost& screen, RunLog& log, const InstallerVariables& variables)
      : screen_(screen), log_(log), variables_(variables) {}
  int ShowBox(const std::string& title, const std::string& text, unsigned style) override;
  void QuitInstaller(int exit_code) override { screen_.QuitInstaller(exit_code); }
  [[noreturn]] void EndProcess(int exit_code) override;
  void WriteStandardError(const std::string& text) override { screen_.WriteStandardError(text); }
  // The run's end: "Exit code N: MEANING" in the log and, unattended, on standard error.
  void ReportExitCode(int exit_code);
  // What a box would say where nobody is asked (a headless run's refusal): "TITLE:
  // TEXT" in the log and on standard error, as an unattended box is.
  void Notify(const std::string& title, const std::string& text);

 private:
  // "TITLE: TEXT" on standard error, as a box nobody answers is shown there.
  void WriteBoxLine(const std::string& title, const std::string& text);

  MessageHost& screen_;
  RunLog& log_;
  const InstallerVariables& variables_;
};

}  // namespace inst
