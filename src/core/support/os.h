// Narrow interfaces through which the portable core reaches the system. The Win32
// layer implements them on the real API; unit tests give in-memory fakes.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace inst {

class OutputFile {
 public:
  virtual ~OutputFile() = default;  // closes the file
  // True when every byte was written.
  [[nodiscard]] virtual bool Write(const void* data, std::size_t size) = 0;
  // True when what was written has reached the disk.
  [[nodiscard]] virtual bool Flush() { return true; }
  // The system's words for the last write that failed (a full disk); "" when it has none.
  virtual std::string ErrorText() const { return std::string(); }
  // True when that write failed for want of space.
  virtual bool DiskFull() const { return false; }
};

class InputFile {
 public:
  virtual ~InputFile() = default;  // closes the file
  // Bytes read (fewer only at the end), negative on a fault.
  [[nodiscard]] virtual long Read(void* buffer, std::size_t size) = 0;
};

// A file opened, or the runtime's error number (13: access denied).
template <typename File>
struct Opened {
  std::unique_ptr<File> file;
  int error_number = 0;
  bool existed = false;  // opened for writing over a file that was there before
  // Denied because another program holds the file (not for want of the right to write).
  bool in_use = false;
  std::string error_text = std::string();  // the system's words for the failure, when it gave some
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  [[nodiscard]] virtual bool FileExists(const std::string& path) = 0;  // file or folder
  [[nodiscard]] virtual bool IsDirectory(const std::string& path) = 0;
  // `access`: the new folder's owner and access list in the system's security
  // descriptor language; null to take the parent's.
  [[nodiscard]] virtual bool CreateFolder(const std::string& path, const char* access) = 0;
  // Gives a folder that owner and access list (what is made in it afterwards inherits it).
  [[nodiscard]] virtual bool SetFolderAccess(const std::string& path, const char* access) = 0;
  [[nodiscard]] virtual bool RemoveFolder(const std::string& path) = 0;  // empty folders only
  [[nodiscard]] virtual bool RemoveFile(const std::string& path) = 0;
  // Renames a file, replacing one at the destination.
  [[nodiscard]] virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  // Has the system rename `from` to `to` when the computer next starts, replacing
  // it; an empty `to` deletes `from` then (a file, or a folder empty by that time).
  [[nodiscard]] virtual bool ScheduleAtRestart(const std::string& from, const std::string& to) = 0;
  // The names of what a folder holds (not "." and ".."); empty when it cannot be read.
  virtual std::vector<std::string> ListFolder(const std::string& path) = 0;
  // The target of a shell link, or no result when it cannot be read.
  [[nodiscard]] virtual std::optional<std::string> LinkTarget(const std::string& link) = 0;
  // The whole content of a file, or no result when it cannot be read.
  [[nodiscard]] virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
  // Binary, replacing an existing file.
  [[nodiscard]] virtual Opened<OutputFile> OpenForWriting(const std::string& path) = 0;
  [[nodiscard]] virtual Opened<InputFile> OpenForReading(const std::string& path) = 0;
  // Size from a status query; 0 when the query fails.
  virtual std::uint64_t FileSize(const std::string& path) = 0;
  // The runtime's text for an error number.
  virtual std::string ErrorText(int error_number) = 0;
};

inline constexpr int kAccessDenied = 13;

// Where long work reports how far it has come: a percentage (or -1 to keep the
// bar) and an optional line for the log.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void ReportProgress(int percent, const char* text) = 0;
  // Shows at once what is held back (before a message box covers the work).
  virtual void Flush() {}
  // A named step of the run begins (for the account of where the run's time goes).
  virtual void BeginStep(const char*) {}
  // True once the user has asked the run to stop (the wizard's Cancel, confirmed):
  // the run ends at its next step, with no file left open, and is taken back.
  virtual bool StopRequested() { return false; }
};

class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::optional<std::string> Get(const std::string& name) = 0;
};

}  // namespace inst
