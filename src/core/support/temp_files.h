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

// Draws "base\vrN" names (N from 0 to 4095) until one does not exist, at most ten
// draws; after ten names that all exist, the tenth is taken. (A template, so that
// the stub carries no std::function for it.)
template <typename Random, typename Exists>
std::string ChooseTempFolderName(const std::string& base, Random random, Exists exists) {
  constexpr int kMaxDraws = 10;
  std::string name;
  for (int draw = 0; draw < kMaxDraws; ++draw) {
    name = FormatText("%s\\vr%d", base.c_str(), random() & 0xFFF);
    if (!exists(name)) break;
  }
  return name;
}

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
