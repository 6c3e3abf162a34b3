#include "core/install/folder_rules.h"

#include <algorithm>
#include <cstring>

#include "core/install/install_journal.h"
#include "core/install/install_messages.h"
#include "core/support/text.h"

namespace inst {

namespace {

std::size_t DeepestPath(const ManifestLists& lists, const std::string& folder) {
  std::size_t deepest = JoinPath(folder, "resources\\manifest").size();
  for (const ResourceRecord& resource : lists.resource_list)
    deepest = std::max(deepest, JoinPath(JoinPath(folder, "resources"), resource.name).size());
  if (lists.feature_list) {
    for (const FeaturePtr& feature : *lists.feature_list) {
      for (const FolderRecord& place : feature->folders) {
        const std::string target = JoinPath(folder, place.path);
        for (const FileRecord& file : place.files) deepest = std::max(deepest, JoinPath(target, file.name).size());
      }
    }
  }
  return deepest + BackupPath("").size();
}

}  // namespace

std::optional<std::string> FolderRefusal(const ManifestLists& lists, const std::string& folder, bool drive_exists) {
  // Letters the ANSI code page lacks reach this program as "?", which no path holds.
  if (folder.find('?') != std::string::npos) return FormatText(msg::kFolderLettersMissing, folder.c_str());
  if (!drive_exists) return FormatText(msg::kNoSuchDrive, folder.c_str(), folder.substr(0, 2).c_str());
  const std::size_t deepest = DeepestPath(lists, folder);
  if (deepest > kMaxFilePath) {
    return FormatText(msg::kFolderTooLong, folder.c_str(), static_cast<unsigned>(deepest),
                      static_cast<unsigned>(kMaxFilePath));
  }
  return std::nullopt;
}

std::optional<std::string> SpaceRefusal(const std::string& folder, std::uint32_t required_kb, std::uint32_t free_mb) {
  if (required_kb <= std::uint64_t{free_mb} * 1024) return std::nullopt;
  return FormatText(msg::kNotEnoughSpace, folder.substr(0, 2).c_str(),
                    static_cast<unsigned long>((required_kb + 1023) / 1024), static_cast<unsigned long>(free_mb));
}

}  // namespace inst
