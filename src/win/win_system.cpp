#include "win/win_system.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/support/os_class.h"
#include "core/support/text.h"
#include "win/call_failure.h"
#include "win/handles.h"
#include "win/shell_links.h"

namespace inst::win {

bool WinFileSystem::FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WinFileSystem::IsDirectory(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

LocalMemory SecurityDescriptor(const char* access) {
  LocalMemory descriptor;
  if (access)
    static_cast<void>(::ConvertStringSecurityDescriptorToSecurityDescriptorA(
        access, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()), nullptr));
  return descriptor;
}

}  // namespace

bool WinFileSystem::CreateFolder(const std::string& path, const char* access) {
  // A system without access lists (the 9x family) cannot form one: the folder takes none.
  const LocalMemory descriptor = SecurityDescriptor(access);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  return ::CreateDirectoryA(path.c_str(), &attributes) != 0;
}

std::optional<std::string> WinFileSystem::LinkTarget(const std::string& link) { return ReadLinkTarget(link); }

bool WinFileSystem::SetFolderAccess(const std::string& path, const char* access) {
  const LocalMemory descriptor = SecurityDescriptor(access);
  PSID owner = nullptr;
  PACL list = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  if (!descriptor || !::GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
      !::GetSecurityDescriptorDacl(descriptor.get(), &present, &list, &defaulted))
    return false;
  const SECURITY_INFORMATION parts =
      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION | (owner ? OWNER_SECURITY_INFORMATION : 0);
  return ::SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, parts, owner, nullptr, list,
                                 nullptr) == ERROR_SUCCESS;
}

bool WinFileSystem::RemoveFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool WinFileSystem::RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool WinFileSystem::RenameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool WinFileSystem::ScheduleAtRestart(const std::string& from, const std::string& to) {
  const DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT | (to.empty() ? 0 : MOVEFILE_REPLACE_EXISTING);
  return ::MoveFileExA(from.c_str(), to.empty() ? nullptr : to.c_str(), flags) != 0;
}

std::vector<std::string> WinFileSystem::ListFolder(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const SearchHandle search(::FindFirstFileA(JoinPath(path, "*").c_str(), &found));
  if (!search) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(search.get(), &found));
  return names;
}

std::optional<std::string> WinFileSystem::ReadWholeFile(const std::string& path) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string content;
  char block[16384];
  DWORD got = 0;
  while (::ReadFile(file.get(), block, sizeof block, &got, nullptr) && got > 0) content.append(block, got);
  return content;
}

namespace {

// Files through runtime descriptors, whose error numbers the messages report.
class CrtOutputFile final : public OutputFile {
 public:
  explicit CrtOutputFile(int fd) : fd_(Descriptor(fd)) {}
  bool Write(const void* data, std::size_t size) override {
    _doserrno = 0;
    if (::_write(fd_.get(), data, static_cast<unsigned>(size)) == static_cast<int>(size)) return true;
    // A write the disk could only take in part leaves no system error: it is full.
    error_ = _doserrno != 0 ? static_cast<std::uint32_t>(_doserrno) : ERROR_DISK_FULL;
    return false;
  }
  bool Flush() override { return ::_commit(fd_.get()) == 0; }
  std::string ErrorText() const override { return error_ ? CallFailure{"", error_}.SystemText() : std::string(); }
  bool DiskFull() const override { return error_ == ERROR_DISK_FULL || error_ == ERROR_HANDLE_DISK_FULL; }

 private:
  Descriptor fd_;
  std::uint32_t error_ = 0;
};

class CrtInputFile final : public InputFile {
 public:
  explicit CrtInputFile(int fd) : fd_(Descriptor(fd)) {}
  long Read(void* buffer, std::size_t size) override {
    std::size_t total = 0;
    while (total < size) {
      const int got = ::_read(fd_.get(), static_cast<char*>(buffer) + total, static_cast<unsigned>(size - total));
      if (got < 0) return -1;
      if (got == 0) break;
      total += static_cast<std::size_t>(got);
    }
    return static_cast<long>(total);
  }

 private:
  Descriptor fd_;
};

}  // namespace

Opened<OutputFile> WinFileSystem::OpenForWriting(const std::string& path) {
  // A new file is created without truncation: truncating makes every close flush,
  // which costs Wine and Windows alike. Only a file that exists is truncated.
  constexpr int kWrite = _O_WRONLY | _O_BINARY;
  _doserrno = 0;
  int fd = ::_open(path.c_str(), kWrite | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
  const bool existed = fd < 0 && errno == EEXIST;
  if (existed) fd = ::_open(path.c_str(), kWrite | _O_TRUNC);
  if (fd < 0) {
    // The runtime says "access denied" (13) both for a file another program holds and
    // for one the user may not write; the system's own error tells them apart.
    const auto system_error = static_cast<std::uint32_t>(_doserrno);
    Opened<OutputFile> failed{nullptr, errno};
    failed.in_use = system_error == ERROR_SHARING_VIOLATION || system_error == ERROR_LOCK_VIOLATION;
    failed.error_text = CallFailure{"", system_error}.SystemText();
    return failed;
  }
  return {std::make_unique<CrtOutputFile>(fd), 0, existed};
}

Opened<InputFile> WinFileSystem::OpenForReading(const std::string& path) {
  const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) return {nullptr, errno};
  return {std::make_unique<CrtInputFile>(fd), 0};
}

std::uint64_t WinFileSystem::FileSize(const std::string& path) {
  // One question to the system (the runtime's stat searches the folder for the name).
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string WinFileSystem::ErrorText(int error_number) { return std::strerror(error_number); }

std::optional<std::string> WinEnvironment::Get(const std::string& name) {
  const DWORD needed = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (needed == 0) {
    // Zero is both "absent" and "empty": only the error code tells them apart.
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::vector<char> buffer(needed);
  const DWORD got = ::GetEnvironmentVariableA(name.c_str(), buffer.data(), needed);
  if (got >= needed) return std::nullopt;
  return std::string(buffer.data(), got);
}

std::string ProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD got = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got < buffer.size()) return std::string(buffer.data(), got);
    buffer.resize(buffer.size() * 2);
  }
}

void AnnounceEnvironmentChange() {
  // A program that does not answer within the time is passed over.
  constexpr UINT kTimeoutMilliseconds = 5000;
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG,
                        kTimeoutMilliseconds, &ignored);
}

std::uint32_t GetOsClass() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&info)) return os_class::kAlways;
#pragma GCC diagnostic pop
  OsPlatform platform = OsPlatform::Nt;
  if (info.dwPlatformId == VER_PLATFORM_WIN32s)
    platform = OsPlatform::Win32s;
  else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    platform = OsPlatform::Windows9x;
  return OsClassFromVersion(platform, info.dwMajorVersion, info.dwMinorVersion);
}

}  // namespace inst::win
