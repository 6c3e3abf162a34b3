#include "core/install/install_journal.h"

#include <algorithm>

#include "core/support/temp_files.h"
#include "core/support/text.h"

namespace inst {

namespace {

constexpr char kSeparator = '\t';
constexpr const char* kKinds = "IFBDKVSXW";

// Tabs and line ends cannot stand in a field as they are: control characters and
// the escape character itself are written as %XX.
std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '%')
      out += FormatText("%%%02X", static_cast<unsigned char>(c));
    else
      out += c;
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
      out += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string JournalEntry::Line() const {
  std::string line(1, static_cast<char>(kind));
  for (const std::string* field : {&path, &name, &data}) line += kSeparator + Escape(*field);
  return line + FormatText("%c%d\n", kSeparator, root);
}

std::optional<JournalEntry> JournalEntry::Parse(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find(kSeparator, start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (fields.size() != 5 || fields[0].size() != 1 ||
      std::string_view(kKinds).find(fields[0][0]) == std::string_view::npos)
    return std::nullopt;
  return JournalEntry{static_cast<Kind>(fields[0][0]), static_cast<int>(LeadingNumber(fields[4])), Unescape(fields[1]),
                      Unescape(fields[2]), Unescape(fields[3])};
}

std::string BackupPath(const std::string& path) { return path + ".vr-backup"; }

std::vector<JournalEntry> ReadJournal(std::string_view text) {
  std::vector<JournalEntry> entries;
  // Only whole lines count: the last one may have been cut short by a kill.
  for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1)) {
    if (auto entry = JournalEntry::Parse(text.substr(0, end))) entries.push_back(std::move(*entry));
  }
  return entries;
}

bool InstallJournal::Begin(FileSystem& files, const std::string& file_path, const std::string& folder) {
  files_ = &files;
  entries_.clear();
  folders_made_.clear();
  file_.reset();
  file_path_.clear();
  if (!file_path.empty()) {
    file_ = std::move(files.OpenForWriting(file_path).file);
    if (file_) file_path_ = file_path;
  }
  Note({JournalEntry::kInstallation, 0, folder});
  return file_ != nullptr;
}

namespace {

// The journal's file goes, and with it the folders made for it once they are empty
// (the folder and the maker's folder above it), so that a removal leaves nothing.
void RemoveJournalFile(FileSystem& files, const std::string& path) {
  static_cast<void>(files.RemoveFile(path));
  const auto folder = ParentFolder(path);
  if (!folder || !files.RemoveFolder(std::string(*folder))) return;
  if (const auto maker = ParentFolder(*folder)) static_cast<void>(files.RemoveFolder(std::string(*maker)));
}

}  // namespace

void InstallJournal::Close() {
  file_.reset();
  if (!file_path_.empty()) RemoveJournalFile(*files_, file_path_);
  files_ = nullptr;
  entries_.clear();
  folders_made_.clear();
}

void InstallJournal::Note(JournalEntry entry) {
  if (!recording()) return;
  if (file_) {
    // A kill cannot lose what the system has been handed; a power cut could lose
    // an unflushed entry, which for a new file or folder strands it but for a backup
    // would lose the earlier content: those (and the rarer registry changes) reach the disk.
    const std::string line = entry.Line();
    const bool creates = entry.kind == JournalEntry::kNewFile || entry.kind == JournalEntry::kNewFolder;
    if (!file_->Write(line.data(), line.size()) || (!creates && !file_->Flush())) {
      file_.reset();  // no journal is better than one with a gap: a kill is no longer covered
    }
  }
  if (entry.kind == JournalEntry::kNewFolder) folders_made_.push_back(entry.path);
  entries_.push_back(std::move(entry));
}

bool InstallJournal::InFolderMadeByRun(std::string_view folder) const {
  // The newest first: files are written into the folder made last.
  return std::any_of(folders_made_.rbegin(), folders_made_.rend(),
                     [&](const std::string& made) { return EqualsIgnoreCase(made, folder); });
}

bool InstallJournal::Notes(std::initializer_list<JournalEntry::Kind> kinds, const std::string& path, int root) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const JournalEntry& entry) {
    return std::find(kinds.begin(), kinds.end(), entry.kind) != kinds.end() && entry.root == root &&
           EqualsIgnoreCase(entry.path, path);
  });
}

bool InstallJournal::BeforeWriting(const std::string& path) {
  if (!recording()) return false;
  // A file in a folder this run made is new, and goes with its folder: no entry, and
  // no question to the file system (one per file of a fresh installation).
  if (const auto parent = ParentFolder(path); parent && InFolderMadeByRun(*parent)) return false;
  if (!files_->FileExists(path)) {
    Note({JournalEntry::kNewFile, 0, path});
    return false;
  }
  if (!Notes({JournalEntry::kNewFile, JournalEntry::kOverwrittenFile}, path)) {
    Note({JournalEntry::kOverwrittenFile, 0, path});
    // A file that cannot be moved (in use) is overwritten as before, if it can be;
    // the rollback then has nothing to restore it from.
    static_cast<void>(files_->RenameFile(path, BackupPath(path)));
  }
  return true;
}

void InstallJournal::BeforeWritingAgain(const std::string& path) {
  if (!recording() || files_->FileExists(BackupPath(path))) return;
  if (Notes({JournalEntry::kOverwrittenFile}, path)) static_cast<void>(files_->RenameFile(path, BackupPath(path)));
}

bool InstallJournal::ChangedValuesUnder(int root, const std::string& key) const {
  return Notes({JournalEntry::kNewValue, JournalEntry::kChangedString, JournalEntry::kChangedExpandString,
                JournalEntry::kChangedDword},
               key, root);
}

void InstallJournal::Finish() {
  if (!recording()) return;
  for (const JournalEntry& entry : entries_)
    if (entry.kind == JournalEntry::kOverwrittenFile) static_cast<void>(files_->RemoveFile(BackupPath(entry.path)));
  Close();
}

void InstallJournal::RollBack(Registry& registry) {
  if (!recording()) return;
  file_.reset();
  TakeBack(entries_, *files_, registry);
  Close();
}

std::vector<std::string> TakeBackInterruptedRuns(FileSystem& files, Registry& registry, const std::string& folder) {
  std::vector<std::string> installations;
  for (const std::string& name : files.ListFolder(folder)) {
    const std::string_view suffix = kJournalSuffix;
    if (name.size() <= suffix.size() ||
        !EqualsIgnoreCase(std::string_view(name).substr(name.size() - suffix.size()), suffix))
      continue;
    const std::string path = JoinPath(folder, name);
    const std::optional<std::string> text = files.ReadWholeFile(path);
    if (!text) continue;
    const std::vector<JournalEntry> entries = ReadJournal(*text);
    TakeBack(entries, files, registry);
    if (!entries.empty()) installations.push_back(entries.front().path);
    RemoveJournalFile(files, path);
  }
  return installations;
}

void TakeBack(const std::vector<JournalEntry>& entries, FileSystem& files, Registry& registry) {
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const JournalEntry& entry = *it;
    switch (entry.kind) {
      case JournalEntry::kNewFile:
        static_cast<void>(files.RemoveFile(entry.path));
        break;
      case JournalEntry::kOverwrittenFile:
        // No backup: the run was stopped before it moved the file, which is intact.
        if (files.FileExists(BackupPath(entry.path))) {
          static_cast<void>(files.RemoveFile(entry.path));
          static_cast<void>(files.RenameFile(BackupPath(entry.path), entry.path));
        }
        break;
      case JournalEntry::kNewFolder:
        // With whatever the run wrote into it.
        RemoveTree(files, entry.path);
        break;
      case JournalEntry::kNewKey:
        static_cast<void>(registry.RegistryDeleteTree(entry.root, entry.path));
        break;
      case JournalEntry::kNewValue:
        static_cast<void>(registry.RegistryDeleteValue(entry.root, entry.path, entry.name));
        break;
      case JournalEntry::kChangedString:
        static_cast<void>(registry.RegistryWriteString(entry.root, entry.path, entry.name, entry.data));
        break;
      case JournalEntry::kChangedExpandString:
        static_cast<void>(registry.RegistryWriteExpandString(entry.root, entry.path, entry.name, entry.data));
        break;
      case JournalEntry::kChangedDword:
        static_cast<void>(registry.RegistryWriteDword(entry.root, entry.path, entry.name, LeadingNumber(entry.data)));
        break;
      case JournalEntry::kInstallation:
        break;
    }
  }
}

bool JournalingRegistry::KeyExists(int root, const std::string& key) {
  return registry_.RegistryListSubkeys(root, key).error != kErrorFileNotFound;
}

void JournalingRegistry::Note(int root, const std::string& key, const std::string& name) {
  if (!journal_.recording()) return;
  // Nothing to note inside a key this run created: it goes as a whole.
  for (const JournalEntry& entry : journal_.entries()) {
    if (entry.kind == JournalEntry::kNewKey && entry.root == root && IsWithinFolder(key, entry.path)) return;
  }
  if (!KeyExists(root, key)) {
    std::size_t end = 0;
    do {
      end = key.find('\\', end + 1);
      const std::string prefix = key.substr(0, end);
      if (!KeyExists(root, prefix)) {
        journal_.Note({JournalEntry::kNewKey, root, prefix});
        return;
      }
    } while (end != std::string::npos);
    return;
  }
  // A value written twice by the run keeps its first record, which holds what was there before.
  for (const JournalEntry& entry : journal_.entries()) {
    const bool value_entry = entry.kind == JournalEntry::kNewValue || entry.kind == JournalEntry::kChangedString ||
                             entry.kind == JournalEntry::kChangedExpandString ||
                             entry.kind == JournalEntry::kChangedDword;
    if (value_entry && entry.root == root && EqualsIgnoreCase(entry.path, key) && EqualsIgnoreCase(entry.name, name))
      return;
  }
  const RegistryValue stored = registry_.RegistryReadStored(root, key, name);
  std::uint32_t number = 0;
  if (stored.ok()) {
    journal_.Note({stored.expandable ? JournalEntry::kChangedExpandString : JournalEntry::kChangedString, root, key,
                   name, stored.text});
  } else if (registry_.RegistryReadDword(root, key, name, number) == kErrorSuccess) {
    journal_.Note({JournalEntry::kChangedDword, root, key, name, FormatText("%u", number)});
  } else if (stored.error == kErrorFileNotFound) {
    journal_.Note({JournalEntry::kNewValue, root, key, name});
  }
}

}  // namespace inst
