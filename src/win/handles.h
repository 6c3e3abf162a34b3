// One owner type per kind of system handle, so that no path leaks one. Each alias
// names its close function and its invalid value. Movable, never copyable.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <wincrypt.h>
#include <wininet.h>

#include <utility>

namespace inst::win {

// The owner of one handle, given its kind's traits: `Invalid()`, `IsValid(value)`
// and `Close(value)`. Every close function keeps the thread's last error code, so
// that a failure can still be reported after its handles are gone.
template <typename Traits>
class Owned {
 public:
  using Value = decltype(Traits::Invalid());
  Owned() = default;
  explicit Owned(Value value) : value_(value) {}
  ~Owned() { reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : value_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Value get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }
  Value release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(Value value = Traits::Invalid()) {
    if (Traits::IsValid(value_)) Traits::Close(value_);
    value_ = value;
  }
  // For APIs that return the handle through an out-parameter.
  Value* put() {
    reset();
    return &value_;
  }

 private:
  Value value_ = Traits::Invalid();
};

// Traits of a handle with one invalid value.
template <typename T, auto CloseFunction, T InvalidValue>
struct SimpleTraits {
  static constexpr T Invalid() { return InvalidValue; }
  static bool IsValid(T value) { return value != InvalidValue; }
  static void Close(T value) { CloseFunction(value); }
};
template <typename T, auto Close, T Invalid>
using UniqueHandle = Owned<SimpleTraits<T, Close, Invalid>>;

namespace detail {
// Defined in handles.cpp, once each (not per owner type).
void CloseKernelHandle(HANDLE h);
void CloseRegistryKey(HKEY h);
void CloseLibrary(HMODULE h);
void CloseSid(PSID h);
void CloseGdiObject(HGDIOBJ h);
void CloseIcon(HICON h);
void CloseMemoryDc(HDC h);
void CloseWindow(HWND h);
void CloseInternet(void* h);
void CloseCryptProvider(HCRYPTPROV h);
void CloseCryptHash(HCRYPTHASH h);
void CloseDescriptor(int fd);
void CloseSearch(HANDLE h);
void FreeLocal(HLOCAL h);

// CreateFile gives INVALID_HANDLE_VALUE on failure, other calls a null handle:
// neither is closed. INVALID_HANDLE_VALUE is no constant expression, hence traits.
struct FileTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE value) { return value != INVALID_HANDLE_VALUE && value != nullptr; }
  static void Close(HANDLE value) { CloseKernelHandle(value); }
};
// FindFirstFile's search handle: invalid is INVALID_HANDLE_VALUE.
struct SearchTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE value) { return value != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE value) { CloseSearch(value); }
};
}  // namespace detail

// Process, thread, event handles: invalid is NULL.
using KernelHandle = UniqueHandle<HANDLE, detail::CloseKernelHandle, nullptr>;
using FileHandle = Owned<detail::FileTraits>;
using SearchHandle = Owned<detail::SearchTraits>;
// Memory the system allocated for the caller with LocalAlloc (a security descriptor).
using LocalMemory = UniqueHandle<HLOCAL, detail::FreeLocal, nullptr>;
using RegistryKey = UniqueHandle<HKEY, detail::CloseRegistryKey, nullptr>;
using Library = UniqueHandle<HMODULE, detail::CloseLibrary, nullptr>;
using Sid = UniqueHandle<PSID, detail::CloseSid, nullptr>;
using GdiObject = UniqueHandle<HGDIOBJ, detail::CloseGdiObject, nullptr>;
// An icon loaded from a file (a resource icon from LoadIcon is shared: not owned).
using Icon = UniqueHandle<HICON, detail::CloseIcon, nullptr>;
using MemoryDc = UniqueHandle<HDC, detail::CloseMemoryDc, nullptr>;
using Window = UniqueHandle<HWND, detail::CloseWindow, nullptr>;
// WinINet sessions, connections and requests.
using InternetHandle = UniqueHandle<void*, detail::CloseInternet, nullptr>;
using CryptProvider = UniqueHandle<HCRYPTPROV, detail::CloseCryptProvider, 0>;
using CryptHash = UniqueHandle<HCRYPTHASH, detail::CloseCryptHash, 0>;

// An object selected into a device context, the earlier one put back at scope exit.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (old_ != nullptr && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// COM or OLE for this thread, for the scope's lifetime (when it could be started).
template <auto Start, auto End>
class InitializationScope {
 public:
  InitializationScope() : active_(SUCCEEDED(Start(nullptr))) {}
  ~InitializationScope() {
    if (active_) End();
  }
  InitializationScope(const InitializationScope&) = delete;
  InitializationScope& operator=(const InitializationScope&) = delete;
  bool active() const { return active_; }

 private:
  bool active_;
};
// The multithreaded apartment: unlike a single-threaded one it makes no hidden
// window, so a headless run never connects to the display for its shortcuts. On a
// thread already in an apartment, that one is used (the scope is then inactive).
inline HRESULT CoInitializeMultithreaded(LPVOID) { return ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
using ComScope = InitializationScope<CoInitializeMultithreaded, ::CoUninitialize>;
using OleScope = InitializationScope<::OleInitialize, ::OleUninitialize>;

// One reference to a COM interface.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (pointer_) pointer_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  // For APIs that return the interface through an out-parameter; a reference
  // already held is released first.
  void** put() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
    return reinterpret_cast<void**>(&pointer_);
  }

 private:
  Interface* pointer_ = nullptr;
};

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

// A C runtime file descriptor (the payload is read through one).
using Descriptor = UniqueHandle<int, detail::CloseDescriptor, -1>;

// Looks up an optional export and gives it its real type.
template <typename Function>
Function LoadProc(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace inst::win
