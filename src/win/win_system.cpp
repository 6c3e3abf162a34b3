#include "win_system.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "../core/os_class.h"
#include "handles.h"

namespace inst::win {

bool WinFileSystem::FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WinFileSystem::IsDirectory(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WinFileSystem::CreateFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool WinFileSystem::RemoveFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool WinFileSystem::RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

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

std::uint32_t GetOsClass() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&info)) return os_class::kAlways;
#pragma GCC diagnostic pop
  OsPlatform platform = OsPlatform::Nt;
  if (info.dwPlatformId == VER_PLATFORM_WIN32s) platform = OsPlatform::Win32s;
  else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) platform = OsPlatform::Windows9x;
  return OsClassFromVersion(platform, info.dwMajorVersion, info.dwMinorVersion);
}

}  // namespace inst::win
