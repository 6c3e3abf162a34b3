// Libraries are loaded from the system folder only. The installer runs elevated
// from a download folder, and installs into folders users can write: a DLL planted
// beside it or in a product folder must never be loaded by name.
#pragma once
#include <windows.h>

#include <string>

namespace inst::win {

// Restricts the process's library search to the system folder (where the loader
// cannot, at least takes the current folder out of it). Called before anything is
// loaded by name.
void RestrictLibrarySearch();

// A system library by name, from the system folder; null when it is missing.
HMODULE LoadSystemLibrary(const char* name);

// A library of the product by its full path; its own dependencies are looked for
// beside it and in the system folder, without widening the search for later loads.
HMODULE LoadProductLibrary(const std::string& path);

}  // namespace inst::win
