// What an installation run changes, so that a run that fails, is cancelled or is
// killed can be taken back and leave the machine as it found it: files and folders
// it created (a folder it made goes with all it holds), files it overwrote (kept
// aside until the run succeeds), registry keys and values it created or changed. Each entry is written to the journal's
// file before the change it records, so that the next run can take back a run that never got to do so itself.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/install/registry.h"
#include "core/support/os.h"

namespace inst {

struct JournalEntry {
  enum Kind : char {
    kInstallation = 'I',  // path: the installation folder (the journal's first line)
    kNewFile = 'F',
    kOverwrittenFile = 'B',  // the earlier content waits in BackupPath(path)
    kNewFolder = 'D',
    kNewKey = 'K',
    kNewValue = 'V',
    kChangedString = 'S',  // data: the earlier text
    kChangedExpandString = 'X',
    kChangedDword = 'W',  // data: the earlier number, in decimal
  };
  JournalEntry(Kind entry_kind, int entry_root, std::string entry_path, std::string entry_name = {},
               std::string entry_data = {})
      : kind(entry_kind),
        root(entry_root),
        path(std::move(entry_path)),
        name(std::move(entry_name)),
        data(std::move(entry_data)) {}

  Kind kind;
  int root = 0;
  std::string path;  // file, folder or key
  std::string name;  // value name
  std::string data;

  // One line of the journal's file.
  std::string Line() const;
  // A line read back; none for one that is cut short or unknown.
  static std::optional<JournalEntry> Parse(std::string_view line);
};

// Where an overwritten file's earlier content is kept: beside it, so that keeping
// and restoring it are renames on one volume.
std::string BackupPath(const std::string& path);

class InstallJournal {
 public:
  // Starts recording afresh for an installation into `folder`, into the file at
  // `file_path` when it can be made (else in memory only: a failure is still taken
  // back, a kill not). True when the file was made.
  bool Begin(FileSystem& files, const std::string& file_path, const std::string& folder);
  // The run has succeeded: the backups go, and so does the journal's file.
  void Finish();
  bool recording() const { return files_ != nullptr; }

  // Called before a file is written: notes a new file, or keeps an existing one aside
  // (once per run). True when the file was there before.
  bool BeforeWriting(const std::string& path);
  // Called when writing a file that was in use is tried again: keeps it aside now if
  // it could not be moved before, so that a rollback can still restore it.
  void BeforeWritingAgain(const std::string& path);
  void Note(JournalEntry entry);

  // Takes back every change recorded, the last first, deletes the journal's file and
  // stops the recording.
  void RollBack(Registry& registry);
  // Whether the run has made or changed a value under the key, which taking it back
  // changes again.
  bool ChangedValuesUnder(int root, const std::string& key) const;

  const std::vector<JournalEntry>& entries() const { return entries_; }
  // The folder, or one above it, was made by this run: what lies in it is new.
  bool InFolderMadeByRun(std::string_view folder) const;

 private:
  // Whether an entry of one of the kinds names the path (a key, for registry entries)
  // under the root (0 for files).
  bool Notes(std::initializer_list<JournalEntry::Kind> kinds, const std::string& path, int root = 0) const;
  void Close();

  FileSystem* files_ = nullptr;
  std::unique_ptr<OutputFile> file_;
  std::string file_path_;
  std::vector<JournalEntry> entries_;
  // The folders noted as made by this run: they go as a whole.
  std::vector<std::string> folders_made_;
};

// Takes back the entries of a journal, the last first. Best effort: what cannot be
// taken back leaves no more behind than stopping would.
void TakeBack(const std::vector<JournalEntry>& entries, FileSystem& files, Registry& registry);

// The entries of a journal's file; a last line cut short by a kill is left out.
std::vector<JournalEntry> ReadJournal(std::string_view text);

inline constexpr const char* kJournalSuffix = ".journal";

// Takes back the runs whose journals are left in `folder` (their runs were killed)
// and deletes the journals; returns the installation folder of each.
std::vector<std::string> TakeBackInterruptedRuns(FileSystem& files, Registry& registry, const std::string& folder);

// The registry as the installation run writes it: every write also notes, while the
// journal records, the key it creates or the value it creates or changes.
class JournalingRegistry final : public Registry {
 public:
  JournalingRegistry(Registry& registry, InstallJournal& journal) : registry_(registry), journal_(journal) {}

  RegistryValue RegistryReadString(int root, const std::string& key, const std::string& name) override {
    return registry_.RegistryReadString(root, key, name);
  }
  [[nodiscard]] std::uint32_t RegistryReadDword(int root, const std::string& key, const std::string& name,
                                                std::uint32_t& out) override {
    return registry_.RegistryReadDword(root, key, name, out);
  }
  RegistryValue RegistryReadStored(int root, const std::string& key, const std::string& name) override {
    return registry_.RegistryReadStored(root, key, name);
  }
  SubkeyList RegistryListSubkeys(int root, const std::string& key) override {
    return registry_.RegistryListSubkeys(root, key);
  }
  [[nodiscard]] std::uint32_t RegistryWriteString(int root, const std::string& key, const std::string& name,
                                                  const std::string& text) override {
    Note(root, key, name);
    return registry_.RegistryWriteString(root, key, name, text);
  }
  [[nodiscard]] std::uint32_t RegistryWriteExpandString(int root, const std::string& key, const std::string& name,
                                                        const std::string& text) override {
    Note(root, key, name);
    return registry_.RegistryWriteExpandString(root, key, name, text);
  }
  [[nodiscard]] std::uint32_t RegistryWriteDword(int root, const std::string& key, const std::string& name,
                                                 std::uint32_t value) override {
    Note(root, key, name);
    return registry_.RegistryWriteDword(root, key, name, value);
  }
  [[nodiscard]] std::uint32_t RegistryDeleteTree(int root, const std::string& key) override {
    return registry_.RegistryDeleteTree(root, key);
  }
  [[nodiscard]] std::uint32_t RegistryDeleteValue(int root, const std::string& key, const std::string& name) override {
    return registry_.RegistryDeleteValue(root, key, name);
  }

 private:
  void Note(int root, const std::string& key, const std::string& name);
  bool KeyExists(int root, const std::string& key);

  Registry& registry_;
  InstallJournal& journal_;
};

}  // namespace inst
