#include "core/support/messages.h"

#include <cstdarg>
#include <cstdlib>

#include "core/support/support_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

#define INST_FORMAT_INTO(text, format)                 \
  va_list args_;                                       \
  va_start(args_, format);                             \
  const std::string text = FormatTextV(format, args_); \
  va_end(args_)

bool Messages::AskRetryCancel(const char* title, const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  return host_.ShowBox(title, text, box::kRetryCancel | box::kIconWarning) == box::kIdRetry;
}

int Messages::AskAbortRetryIgnore(const char* title, const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  const int answer = host_.ShowBox(title, text, box::kAbortRetryIgnore | box::kIconWarning);
  // Closing the box is no permission to go on.
  return answer == box::kIdRetry || answer == box::kIdIgnore ? answer : box::kIdAbort;
}

bool Messages::AskYesNo(const char* title, const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  return host_.ShowBox(title, text, box::kYesNo | box::kIconQuestion) == box::kIdYes;
}

bool Messages::AskYesNoPlain(const char* title, const std::string& text) {
  return host_.ShowBox(title, text, box::kYesNo) == box::kIdYes;
}

int Messages::ShowInfo(const char* title, const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  return host_.ShowBox(title, text, box::kOk | box::kIconInformation);
}

int Messages::ShowError(const char* title, const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  const int result = host_.ShowBox(title, text, box::kOk | box::kIconError);
  if (variables_.TestFlag(var::kHeadlessInstall)) EndRun(1);
  return result;
}

int Messages::ShowMessage(const char* format, ...) {
  if (variables_.TestFlag("SuppressMessages")) return box::kIdOk;
  INST_FORMAT_INTO(text, format);
  return host_.ShowBox(kErrorTitle, text, box::kOk | box::kIconInformation);
}

void Messages::FatalText(const std::string& text, int exit_code) {
  host_.ShowBox(kFatalErrorTitle, text, box::kOk | box::kIconError);
  EndRun(exit_code);
}

void Messages::FatalExit(int exit_code, const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  FatalText(text, exit_code);
}

void Messages::EndRun(int exit_code) {
  host_.QuitInstaller(exit_code);
  host_.EndProcess(exit_code);
  std::abort();  // a host's EndProcess never returns
}

void Messages::FatalError(const char* format, ...) {
  INST_FORMAT_INTO(text, format);
  FatalText(text);
}

void Messages::InstallerCorrupt() { FatalText(kInstallerCorrupt); }

void Messages::FatalErrorCode(int number) { FatalError(msg::kErrorNumber, number); }

#undef INST_FORMAT_INTO

}  // namespace inst
