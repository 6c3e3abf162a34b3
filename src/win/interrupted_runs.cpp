#include "win/interrupted_runs.h"

#include "core/install/install_journal.h"
#include "core/install/vendor_tools.h"
#include "core/support/temp_files.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "win/handles.h"
#include "win/shell_folders.h"
#include "win/win_messages.h"

namespace inst::win {

namespace {

std::string JournalFolder() {
  const std::string data = CommonDataFolder();
  return data.empty() ? data : JoinPath(JoinPath(data, kPublisher), "Setup journals");
}

}  // namespace

std::string NewJournalPath(FileSystem& files) {
  const std::string folder = JournalFolder();
  if (folder.empty()) return folder;
  static_cast<void>(files.CreateFolder(std::string(ParentFolder(folder).value_or("")), nullptr));
  // The next elevated run takes back what a journal there lists: only administrators
  // may write one (the shared data folder lets users add files).
  if (!files.CreateFolder(folder, kTempFolderAccess))
    static_cast<void>(files.SetFolderAccess(folder, kTempFolderAccess));
  // The process number keeps runs apart; the clock, a number reused since a kill.
  return JoinPath(folder, FormatText("%lu-%lu%s", ::GetCurrentProcessId(), ::GetTickCount(), kJournalSuffix));
}

bool TempFolderHeld(const std::string& folder) {
  const FileHandle probe(::CreateFileA(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return !probe && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

void TakeBackKilledRuns(const InstallerVariables& variables, Services& services) {
  const std::string folder = JournalFolder();
  // The plain registry: taking back is not part of this run's own journal.
  for (const std::string& installation : TakeBackInterruptedRuns(services.files, services.system_registry, folder)) {
    services.log.Write(FormatText(msg::kInterruptedTakenBack, installation.c_str()));
    if (!variables.TestFlag(var::kHeadlessInstall))
      services.messages.ShowInfo(msg::kInterruptedTitle, msg::kInterruptedTakenBack, installation.c_str());
  }
  const std::string temp_base(ParentFolder(variables.ValueOf(var::kTmpDir)).value_or(""));
  if (const int removed = RemoveStaleTempFolders(services.files, temp_base, TempFolderHeld))
    services.log.Write(FormatText("Removed %d temporary folders of runs that were killed", removed));
}

}  // namespace inst::win
