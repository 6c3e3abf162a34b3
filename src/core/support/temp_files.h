// The run's temporary folder and the removal of every temporary file on the way out.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/support/os.h"

namespace inst {

// The folder temporary folders are made in: TEMP, else TMP, else windir\temp, else C:.
std::string TempFolderBase(Environment& environment);

// Draws "base\vrN" names (N from 0 to 4095) until one does not exist, at most ten
// draws; after ten names that all exist, the tenth is taken.
std::string ChooseTempFolderName(const std::string& base, const std::function<int()>& random,
                                 const std::function<bool(const std::string&)>& exists);

// Walks the list from its last entry to its first: folders are removed (only empty
// ones can be), anything else deleted as a file. Failures are ignored.
void DeleteTempFiles(const std::vector<std::string>& temp_list, FileSystem& files);

}  // namespace inst
