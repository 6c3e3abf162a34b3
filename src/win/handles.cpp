#include "win/handles.h"

namespace inst::win::detail {

namespace {

// Closing keeps the last error code: the failure being reported is not the close's.
template <typename Close, typename Handle>
void KeepingLastError(Close close, Handle handle) {
  const DWORD error = ::GetLastError();
  close(handle);
  ::SetLastError(error);
}

}  // namespace

void CloseKernelHandle(HANDLE h) { KeepingLastError(::CloseHandle, h); }
void CloseRegistryKey(HKEY h) { KeepingLastError(::RegCloseKey, h); }
void CloseLibrary(HMODULE h) { KeepingLastError(::FreeLibrary, h); }
void CloseSid(PSID h) { KeepingLastError(::FreeSid, h); }
void CloseGdiObject(HGDIOBJ h) { KeepingLastError(::DeleteObject, h); }
void CloseIcon(HICON h) { KeepingLastError(::DestroyIcon, h); }
void CloseMemoryDc(HDC h) { KeepingLastError(::DeleteDC, h); }
void CloseWindow(HWND h) { KeepingLastError(::DestroyWindow, h); }
void CloseInternet(void* h) { KeepingLastError(::InternetCloseHandle, h); }
void CloseCryptProvider(HCRYPTPROV h) {
  KeepingLastError([](HCRYPTPROV p) { ::CryptReleaseContext(p, 0); }, h);
}
void CloseCryptHash(HCRYPTHASH h) { KeepingLastError(::CryptDestroyHash, h); }
void CloseDescriptor(int fd) { KeepingLastError(::_close, fd); }
void CloseSearch(HANDLE h) { KeepingLastError(::FindClose, h); }
void FreeLocal(HLOCAL h) { KeepingLastError(::LocalFree, h); }

}  // namespace inst::win::detail
