// The run's temporary folder and the removal of every temporary file on the way out.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/support/os.h"
#include "core/support/text.h"

namespace inst {

// The folder temporary folders are made in: TEMP, else TMP, else windir\temp, else C:.
std::string TempFolderBase(Environment& environment);

// The name of a temporary folder: "base\vrN", N from 0 to 4095 (of a random number).
std::string TempFolderName(const std::string& base, unsigned random);

// Who may use the temporary folder of an elevated run, in the system's security
// descriptor language: protected from inheritance, full access for the system and
// the administrators, nobody else. Any other program of the user could otherwise
// swap a file it holds between its extraction and its use as administrator.
inline constexpr const char* kTempFolderAccess = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Walks the list from its last entry to its first: folders are removed (only empty
// ones can be), anything else deleted as a file. Failures are ignored.
void DeleteTempFiles(const std::vector<std::string>& temp_list, FileSystem& files);

// Deletes a folder with everything in it, as far as it can.
void RemoveTree(FileSystem& files, const std::string& folder);

// Removes the temporary folders ("vrN") in `base` that runs killed part-way left
// behind: those `held` does not find held by a run that is still alive. Returns
// how many went.
int RemoveStaleTempFolders(FileSystem& files, const std::string& base, bool (*held)(const std::string& folder));

}  // namespace inst
