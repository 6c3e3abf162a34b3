#include "core/support/temp_files.h"

#include "core/support/text.h"

namespace inst {

std::string TempFolderBase(Environment& environment) {
  if (auto temp = environment.Get("TEMP")) return *temp;
  if (auto tmp = environment.Get("TMP")) return *tmp;
  if (auto windir = environment.Get("windir")) return *windir + "\\temp";
  return "C:";
}

std::string TempFolderName(const std::string& base, unsigned random) {
  return FormatText("%s\\vr%u", base.c_str(), random & 0xFFFu);
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

void RemoveTree(FileSystem& files, const std::string& folder) {
  for (const std::string& name : files.ListFolder(folder)) {
    const std::string path = JoinPath(folder, name);
    if (files.IsDirectory(path))
      RemoveTree(files, path);
    else
      static_cast<void>(files.RemoveFile(path));
  }
  static_cast<void>(files.RemoveFolder(folder));
}

int RemoveStaleTempFolders(FileSystem& files, const std::string& base, bool (*held)(const std::string& folder)) {
  int removed = 0;
  for (const std::string& name : files.ListFolder(base)) {
    // Only names this program makes: "vr" and up to four digits.
    const bool ours = name.size() > 2 && name.size() <= 6 && EqualsIgnoreCase(name.substr(0, 2), "vr") &&
                      name.find_first_not_of("0123456789", 2) == std::string::npos;
    const std::string path = JoinPath(base, name);
    if (!ours || !files.IsDirectory(path) || held(path)) continue;
    RemoveTree(files, path);
    ++removed;
  }
  return removed;
}

}  // namespace inst
