// One owner type per kind of system handle, so that no path leaks one. Each alias
// names its close function and its invalid value. Movable, never copyable.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace inst::win {

template <typename T, auto Close, T Invalid>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T value) : value_(value) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    if (value_ != Invalid) Close(value_);
    value_ = value;
  }
  // For APIs that return the handle through an out-parameter.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseRegistryKey(HKEY h) { ::RegCloseKey(h); }
inline void CloseLibrary(HMODULE h) { ::FreeLibrary(h); }
inline void CloseSid(PSID h) { ::FreeSid(h); }
inline void CloseGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void CloseMemoryDc(HDC h) { ::DeleteDC(h); }
inline void CloseWindow(HWND h) { ::DestroyWindow(h); }
inline void CloseInternet(void* h) { ::InternetCloseHandle(h); }
}  // namespace detail

// Process, thread, event handles: invalid is NULL.
using KernelHandle = UniqueHandle<HANDLE, detail::CloseKernelHandle, nullptr>;
// CreateFile handles: invalid is INVALID_HANDLE_VALUE. Not a constant expression,
// so it is its own small type.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE value) : value_(value) {}
  ~FileHandle() { reset(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle(FileHandle&& other) noexcept : value_(std::exchange(other.value_, INVALID_HANDLE_VALUE)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, INVALID_HANDLE_VALUE));
    return *this;
  }
  HANDLE get() const { return value_; }
  explicit operator bool() const { return value_ != INVALID_HANDLE_VALUE && value_ != nullptr; }
  void reset(HANDLE value = INVALID_HANDLE_VALUE) {
    if (value_ != INVALID_HANDLE_VALUE && value_ != nullptr) ::CloseHandle(value_);
    value_ = value;
  }

 private:
  HANDLE value_ = INVALID_HANDLE_VALUE;
};
using RegistryKey = UniqueHandle<HKEY, detail::CloseRegistryKey, nullptr>;
using Library = UniqueHandle<HMODULE, detail::CloseLibrary, nullptr>;
using Sid = UniqueHandle<PSID, detail::CloseSid, nullptr>;
using GdiObject = UniqueHandle<HGDIOBJ, detail::CloseGdiObject, nullptr>;
using MemoryDc = UniqueHandle<HDC, detail::CloseMemoryDc, nullptr>;
using Window = UniqueHandle<HWND, detail::CloseWindow, nullptr>;
// WinINet sessions, connections and requests.
using InternetHandle = UniqueHandle<void*, detail::CloseInternet, nullptr>;

// A device context obtained with GetDC, released to its window.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace inst::win

#include <io.h>

namespace inst::win {

namespace detail {
inline void CloseDescriptor(int fd) { ::_close(fd); }
}  // namespace detail

// A C runtime file descriptor (the payload is read through one).
using Descriptor = UniqueHandle<int, detail::CloseDescriptor, -1>;

// Looks up an optional export and gives it its real type.
template <typename Function>
Function LoadProc(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace inst::win
