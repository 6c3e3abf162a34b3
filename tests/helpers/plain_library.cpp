// Test helper: a DLL without a self-registration entry point.
#include <windows.h>

extern "C" __declspec(dllexport) int PlainLibraryVersion() { return 1; }
