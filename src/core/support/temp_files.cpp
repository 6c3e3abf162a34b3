#include "core/support/temp_files.h"

#include "core/support/text.h"

namespace inst {

std::string TempFolderBase(Environment& environment) {
  if (auto temp = environment.Get("TEMP")) return *temp;
  if (auto tmp = environment.Get("TMP")) return *tmp;
  if (auto windir = environment.Get("windir")) return *windir + "\\temp";
  return "C:";
}

void DeleteTempFiles(const std::vector<std::string>& temp_list, FileSystem& files) {
  for (auto it = temp_list.rbegin(); it != temp_list.rend(); ++it) {
    // Best effort: the run is ending, and a file still in use stays in the user's TEMP.
    if (files.IsDirectory(*it))
      static_cast<void>(files.RemoveFolder(*it));
    else
      static_cast<void>(files.RemoveFile(*it));
  }
}

}  // namespace inst
