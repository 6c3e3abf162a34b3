// An in-memory file system for tests of the logic that writes files. Removing a
// folder that still holds something fails, as on the real system; a path can be
// locked so that opening it for writing is denied.
#pragma once
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/support/os.h"

namespace inst::testing {

class MemoryFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override { return files.count(path) || folders.count(path); }
  bool IsDirectory(const std::string& path) override { return folders.count(path) > 0; }
  bool CreateFolder(const std::string& path, const char* access = nullptr) override {
    const auto parent = path.rfind('\\');
    if (parent != std::string::npos && !folders.count(path.substr(0, parent))) return false;
    if (files.count(path) || !folders.insert(path).second) return false;
    if (access) folder_access[path] = access;
    return true;
  }
  // A link's content is its target.
  std::optional<std::string> LinkTarget(const std::string& link) override {
    const auto it = files.find(link);
    return it == files.end() ? std::nullopt : std::optional(it->second);
  }
  bool SetFolderAccess(const std::string& path, const char* access) override {
    folder_access[path] = access;
    return folders.count(path) > 0;
  }
  bool RemoveFolder(const std::string& path) override {
    for (const auto& [file, content] : files)
      if (file.rfind(path + "\\", 0) == 0) return false;
    return folders.erase(path) > 0;
  }
  bool RemoveFile(const std::string& path) override {
    if (locked.count(path) && locked[path]-- > 0) return false;
    return files.erase(path) > 0;
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    if (!files.count(from) || (locked.count(from) && locked[from] > 0)) return false;
    files[to] = std::move(files[from]);
    files.erase(from);
    return true;
  }
  bool ScheduleAtRestart(const std::string& from, const std::string& to) override {
    at_restart.emplace_back(from, to);
    return true;
  }
  std::vector<std::string> ListFolder(const std::string& path) override {
    std::set<std::string> names;
    const std::string prefix = path + "\\";
    auto add = [&](const std::string& entry) {
      if (entry.rfind(prefix, 0) == 0)
        names.insert(entry.substr(prefix.size(), entry.find('\\', prefix.size()) - prefix.size()));
    };
    for (const auto& [file, content] : files) add(file);
    for (const std::string& folder : folders) add(folder);
    return {names.begin(), names.end()};
  }
  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }

  Opened<OutputFile> OpenForWriting(const std::string& path) override {
    if (auto it = locked.find(path); it != locked.end()) {
      if (it->second > 0) {
        --it->second;
        return {nullptr, kAccessDenied, false, true,
                "The process cannot access the file because it is being used by "
                "another process."};
      }
    }
    if (read_only.count(path)) return {nullptr, kAccessDenied, false, false, "Access is denied."};
    if (folders.count(path)) return {nullptr, kAccessDenied};
    const bool existed = files.count(path) != 0;
    files[path].clear();
    return {std::make_unique<Writer>(*this, path), 0, existed};
  }
  Opened<InputFile> OpenForReading(const std::string& path) override {
    if (!files.count(path)) return {nullptr, 2};
    return {std::make_unique<Reader>(files[path]), 0};
  }
  std::uint64_t FileSize(const std::string& path) override {
    const auto it = files.find(path);
    return it == files.end() ? 0 : it->second.size();
  }
  std::string ErrorText(int error_number) override { return std::strerror(error_number); }

  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::map<std::string, std::string> folder_access;  // folders given an access list
  // Path -> how many more times opening it for writing, or deleting it, is denied.
  std::map<std::string, int> locked;
  // Opening these for writing is denied for want of the right (not in use).
  std::set<std::string> read_only;
  // What the next start of the computer would rename (to "": delete), in order.
  std::vector<std::pair<std::string, std::string>> at_restart;
  // Writes fail once a file holds this many bytes, as on a full disk.
  std::size_t write_limit = SIZE_MAX;

 private:
  class Writer final : public OutputFile {
   public:
    Writer(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    bool Write(const void* data, std::size_t size) override {
      std::string& content = fs_.files[path_];
      if (content.size() + size > fs_.write_limit) return false;
      content.append(static_cast<const char*>(data), size);
      return true;
    }
    std::string ErrorText() const override { return "There is not enough space on the disk."; }
    bool DiskFull() const override { return true; }

   private:
    MemoryFileSystem& fs_;
    std::string path_;
  };
  class Reader final : public InputFile {
   public:
    explicit Reader(std::string content) : content_(std::move(content)) {}
    long Read(void* buffer, std::size_t size) override {
      const std::size_t n = std::min(size, content_.size() - pos_);
      std::memcpy(buffer, content_.data() + pos_, n);
      pos_ += n;
      return static_cast<long>(n);
    }

   private:
    std::string content_;
    std::size_t pos_ = 0;
  };
};

}  // namespace inst::testing
