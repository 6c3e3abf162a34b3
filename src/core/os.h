// Narrow interfaces through which the portable core reaches the system. The Win32
// layer implements them on the real API; unit tests give in-memory fakes.
#pragma once
#include <optional>
#include <string>

namespace inst {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool FileExists(const std::string& path) = 0;  // file or folder
  virtual bool IsDirectory(const std::string& path) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool RemoveFolder(const std::string& path) = 0;  // empty folders only
  virtual bool RemoveFile(const std::string& path) = 0;
  // The whole content of a file, or no result when it cannot be read.
  virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
};

class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::optional<std::string> Get(const std::string& name) = 0;
};

}  // namespace inst
