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
    if (files.IsDirectory(*it))
      files.RemoveFolder(*it);
    else
      files.RemoveFile(*it);
  }
}

}  // namespace inst
