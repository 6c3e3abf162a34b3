// The core's system interfaces on the real Win32 API.
#pragma once
#include <string>

#include "core/support/os.h"

namespace inst::win {

class WinFileSystem final : public FileSystem {
 public:
  [[nodiscard]] bool RenameFile(const std::string& from, const std::string& to) override;
  [[nodiscard]] bool ScheduleAtRestart(const std::string& from, const std::string& to) override;
  std::vector<std::string> ListFolder(const std::string& path) override;

  [[nodiscard]] bool FileExists(const std::string& path) override;
  [[nodiscard]] bool IsDirectory(const std::string& path) override;
  [[nodiscard]] bool CreateFolder(const std::string& path, const char* access) override;
  [[nodiscard]] bool SetFolderAccess(const std::string& path, const char* access) override;
  [[nodiscard]] std::optional<std::string> LinkTarget(const std::string& link) override;
  [[nodiscard]] bool RemoveFolder(const std::string& path) override;
  [[nodiscard]] bool RemoveFile(const std::string& path) override;
  [[nodiscard]] std::optional<std::string> ReadWholeFile(const std::string& path) override;
  [[nodiscard]] Opened<OutputFile> OpenForWriting(const std::string& path) override;
  [[nodiscard]] Opened<InputFile> OpenForReading(const std::string& path) override;
  std::uint64_t FileSize(const std::string& path) override;
  std::string ErrorText(int error_number) override;
};

class WinEnvironment final : public Environment {
 public:
  std::optional<std::string> Get(const std::string& name) override;
};

// The full path of the running program.
std::string ProgramPath();

// The Windows version class of the running system.
std::uint32_t GetOsClass();

// Tells the running programs that the system's environment variables have changed.
void AnnounceEnvironmentChange();

}  // namespace inst::win
