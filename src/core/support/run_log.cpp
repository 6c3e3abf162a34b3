#include "core/support/run_log.h"

#include <cstdlib>

#include "core/support/support_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

void RunLog::Write(std::string_view text) {
  if (!file_) return;
  std::string entry = clock_() + "  ";
  for (const char c : text) {
    if (c == '\n')
      entry += "\r\n    ";
    else if (c != '\r')
      entry += c;
  }
  entry += "\r\n";
  const SpinGuard guard(lock_);
  // A log that cannot be written must not stop the installation it reports.
  if (file_ && !file_->Write(entry.data(), entry.size())) file_.reset();
}

namespace {

// The folders of the path that do not exist yet, parents first.
void MakeParentFolders(FileSystem& files, const std::string& path) {
  const std::optional<std::string_view> parent = ParentFolder(path);
  if (!parent || parent->size() <= 2 || files.FileExists(std::string(*parent))) return;
  MakeParentFolders(files, std::string(*parent));
  static_cast<void>(files.CreateFolder(std::string(*parent), nullptr));
}

}  // namespace

void OpenRunLog(RunLog& log, FileSystem& files, Messages& messages, const InstallerVariables& variables,
                const std::string& working_folder, const std::vector<std::string>& arguments) {
  const std::string* requested = variables.GetVariable(var::kLogFile);
  if (requested == nullptr) return;
  std::string path = *requested;
  if (!path.empty() && !IsFullPath(path)) path = JoinPath(working_folder, path);
  MakeParentFolders(files, path);
  Opened<OutputFile> opened = files.OpenForWriting(path);
  if (!opened.file) {
    messages.FatalError(msg::kCantCreateLogFile, path.empty() ? "(no name given)" : path.c_str(),
                        files.ErrorText(opened.error_number).c_str());
  }
  log.Open(std::move(opened.file));
  std::string options = "Options:";
  for (std::size_t i = 1; i < arguments.size(); ++i) options.append(" \"").append(arguments[i]).append("\"");
  log.Write(options);
}

void LoggedMessageHost::ReportExitCode(int exit_code) {
  const std::string line = FormatText("Exit code %d: %s", exit_code, ExitCodeMeaning(exit_code));
  log_.Write(line);
  if (variables_.TestFlag(var::kUnattended)) screen_.WriteStandardError(line + "\n");
}

void LoggedMessageHost::Notify(const std::string& title, const std::string& text) {
  log_.Write(FormatText("%s: %s", title.c_str(), text.c_str()));
  WriteBoxLine(title, text);
}

void LoggedMessageHost::WriteBoxLine(const std::string& title, const std::string& text) {
  screen_.WriteStandardError(FormatText("%s: %s\n", title.c_str(), text.c_str()));
}

int UnattendedAnswer(unsigned style) {
  switch (style & 0x0F) {
    case box::kYesNo:
      return box::kIdNo;
    case box::kRetryCancel:
      return box::kIdCancel;
    case box::kAbortRetryIgnore:
      return box::kIdIgnore;  // a file in use is replaced or deleted at the next restart
    default:
      return box::kIdOk;
  }
}

namespace {

const char* AnswerName(int answer) {
  switch (answer) {
    case box::kIdOk:
      return "OK";
    case box::kIdCancel:
      return "Cancel";
    case box::kIdAbort:
      return "Abort";
    case box::kIdRetry:
      return "Retry";
    case box::kIdIgnore:
      return "Ignore";
    case box::kIdYes:
      return "Yes";
    case box::kIdNo:
      return "No";
    default:
      return "closed";
  }
}

}  // namespace

int LoggedMessageHost::ShowBox(const std::string& title, const std::string& text, unsigned style) {
  // Written before the box shows: a run killed while it waits still leaves it.
  log_.Write(FormatText("Message \"%s\": %s", title.c_str(), text.c_str()));
  const bool unattended = variables_.TestFlag(var::kUnattended);
  int answer;
  if (unattended) {
    answer = UnattendedAnswer(style);
    WriteBoxLine(title, text);
  } else {
    answer = screen_.ShowBox(title, text, style);
  }
  log_.Write(FormatText("Answer: %s%s", AnswerName(answer), unattended ? " (unattended)" : ""));
  return answer;
}

void LoggedMessageHost::EndProcess(int exit_code) {
  ReportExitCode(exit_code);
  screen_.EndProcess(exit_code);
  std::abort();  // a host's EndProcess never returns
}

}  // namespace inst
