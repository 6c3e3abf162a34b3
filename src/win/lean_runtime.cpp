// What setup.exe takes instead of parts of its libraries, to keep the stub that
// every customer downloads small. It is built without exceptions, so an allocation
// that fails or a library check that would throw ends the process here (no
// unwinder, exception classes or demangler). And zlib's checksums come in their
// plain form: raw inflate refers to them but never calls them, and zlib's own
// come with 12 KB of tables.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "core/support/messages.h"
#include "win/win_messages.h"

namespace {

[[noreturn]] void EndWithFatalError(const char* text) {
  ::MessageBoxA(nullptr, text, inst::kFatalErrorTitle, MB_OK | MB_ICONERROR);
  ::ExitProcess(1);
}

[[noreturn]] void EndForLackOfMemory() { EndWithFatalError(inst::msg::kOutOfMemory); }
[[noreturn]] void EndForInternalError() { EndWithFatalError(inst::msg::kInternalError); }

}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  EndForLackOfMemory();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {
void __throw_bad_alloc() { EndForLackOfMemory(); }
void __throw_bad_array_new_length() { EndForLackOfMemory(); }
void __throw_length_error(const char*) { EndForLackOfMemory(); }
void __throw_logic_error(const char*) { EndForInternalError(); }
void __throw_out_of_range(const char*) { EndForInternalError(); }
void __throw_out_of_range_fmt(const char*, ...) { EndForInternalError(); }
void __throw_invalid_argument(const char*) { EndForInternalError(); }
void __throw_bad_function_call() { EndForInternalError(); }
}  // namespace std

// Asked only by std::get_deleter, which the installer does not use; the library's
// own brings the exception runtime along.
bool std::_Sp_make_shared_tag::_S_eq(const std::type_info& info) noexcept { return &info == &_S_ti(); }

namespace __gnu_cxx {
void __verbose_terminate_handler() { EndForInternalError(); }
}  // namespace __gnu_cxx

extern "C" {

// The runtime patches references to data in system libraries at start-up; this
// program makes none (it names imported data only through import pointers), so its
// list of them is empty and the patcher, with its error reports, stays out. Should a
// change ever add one, the program stops at once rather than run unpatched.
extern char __RUNTIME_PSEUDO_RELOC_LIST__;
extern char __RUNTIME_PSEUDO_RELOC_LIST_END__;
void _pei386_runtime_relocator() {
  if (&__RUNTIME_PSEUDO_RELOC_LIST__ != &__RUNTIME_PSEUDO_RELOC_LIST_END__) EndForInternalError();
}

// The runtime's report of a mathematical error writes to a console the installer
// has not got, with its own texts: the result stands as computed.
int _matherr(struct _exception*) { return 0; }

unsigned long crc32(unsigned long crc, const unsigned char* bytes, unsigned length) {
  if (bytes == nullptr) return 0;
  crc = ~crc & 0xFFFFFFFFul;
  while (length--) {
    crc ^= *bytes++;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
  }
  return ~crc & 0xFFFFFFFFul;
}

unsigned long adler32(unsigned long adler, const unsigned char* bytes, unsigned length) {
  if (bytes == nullptr) return 1;
  unsigned long low = adler & 0xFFFF, high = (adler >> 16) & 0xFFFF;
  while (length--) {
    low = (low + *bytes++) % 65521;
    high = (high + low) % 65521;
  }
  return (high << 16) | low;
}

// zlib's allocators, without the rest of their file (its table of error texts):
// inflate reports its own.
void* zcalloc(void*, unsigned items, unsigned size) { return std::calloc(items, size); }
void zcfree(void*, void* memory) { std::free(memory); }

}  // extern "C"
