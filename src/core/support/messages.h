// The message functions through which every part of the installer asks questions
// and reports failures, and the orderly end of the run.
#pragma once
#include <string>

#include "core/support/exit_codes.h"
#include "core/support/variables.h"

namespace inst {

// Windows message-box styles and results used by the installer.
namespace box {
inline constexpr unsigned kOk = 0x00;
inline constexpr unsigned kAbortRetryIgnore = 0x02;
inline constexpr unsigned kYesNo = 0x04;
inline constexpr unsigned kRetryCancel = 0x05;
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconInformation = 0x40;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace box

inline constexpr const char* kFatalErrorTitle = "Fatal error";
// Every fault of the installer's own file: damaged, cut short or altered.
inline constexpr const char* kInstallerCorrupt = "Installer is corrupt or truncated";
inline constexpr const char* kErrorTitle = "Error";

// What the message functions need from the system.
class MessageHost {
 public:
  virtual ~MessageHost() = default;
  // Shows a modal box (owned by the main window when there is one); returns the
  // button chosen.
  virtual int ShowBox(const std::string& title, const std::string& text, unsigned style) = 0;
  // The run's end, in three steps: a run that failed or was cancelled is taken back
  // (its journal rolled back), the temporary files are deleted, and the message loop
  // is asked to end with the code.
  virtual void QuitInstaller(int exit_code) = 0;
  // Ends the process at once with the code.
  [[noreturn]] virtual void EndProcess(int exit_code) = 0;
  // Writes to standard error, where the program has one.
  virtual void WriteStandardError(const std::string&) {}
};

class Messages {
 public:
  Messages(MessageHost& host, const InstallerVariables& variables) : host_(host), variables_(variables) {}

  bool AskRetryCancel(const char* title, const char* format, ...) __attribute__((format(printf, 3, 4)));
  bool AskYesNo(const char* title, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // A file in use: box::kIdAbort, kIdRetry or kIdIgnore (unattended: Ignore).
  int AskAbortRetryIgnore(const char* title, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Yes and No without an icon, for a choice that is not a warning.
  bool AskYesNoPlain(const char* title, const std::string& text);
  int ShowInfo(const char* title, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // In a headless run the box is followed by QuitInstaller(1) and exit code 1.
  int ShowError(const char* title, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Silent when SuppressMessages is true.
  int ShowMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
  [[noreturn]] void FatalError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A fatal error that ends with its own exit code (exit_codes.h).
  [[noreturn]] void FatalExit(int exit_code, const char* format, ...) __attribute__((format(printf, 3, 4)));
  [[noreturn]] void FatalErrorCode(int number);
  // Shows the text as it stands (no formatting) and ends the run with the code.
  [[noreturn]] void FatalText(const std::string& text, int exit_code = kExitFailure);
  // The fatal error of every fault of the installer's own file.
  [[noreturn]] void InstallerCorrupt();

  void QuitInstaller(int exit_code) { host_.QuitInstaller(exit_code); }
  // QuitInstaller, then the end of the process with the code: the run ends here.
  [[noreturn]] void EndRun(int exit_code);

 private:
  MessageHost& host_;
  const InstallerVariables& variables_;
};

}  // namespace inst
