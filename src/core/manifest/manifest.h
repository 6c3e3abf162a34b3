// The records the manifest describes and the lists that hold them. Records keep the
// order the manifest gives; features are shared by the components that name them.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/support/registry_kinds.h"
#include "core/support/variables.h"

namespace inst {

// Size a file line without one is taken to have.
inline constexpr std::uint32_t kDefaultFileSize = 8192;

struct FileRecord {
  std::string name;
  std::uint32_t size = kDefaultFileSize;
  bool size_given = false;  // the line carried a size
  int line = 0;             // manifest line, for messages about it
};

struct FolderRecord {
  std::string path;  // relative to InstDir, backslashes, no trailing one
  std::vector<FileRecord> files;
};

struct InstallerRecord {
  std::string source;  // a path, a variable name or an http://, https:// or ftp:// address
  std::vector<std::string> alternates;
  std::string arguments;
  // SHA256= after the Installer= or an Alternate= line: the digest a download from
  // that source must match, with the source as written, in the manifest's order.
  std::vector<std::pair<std::string, std::string>> sha256;

  // The digest pinned for a source (the last one given), or none.
  const std::string* Sha256Of(const std::string& where) const {
    for (auto it = sha256.rbegin(); it != sha256.rend(); ++it)
      if (it->first == where) return &it->second;
    return nullptr;
  }
};

struct FeatureRecord {
  std::string name;
  std::string description;
  std::string error_message;
  bool selected = false;
  bool available = false;
  bool installed = false;
  bool older_installed = false;
  std::optional<std::string> registry_key;
  std::optional<std::string> class_key;
  std::optional<std::string> max_version;
  std::optional<std::string> min_version;
  std::optional<std::string> uninstall_command;
  std::vector<FolderRecord> folders;
  std::vector<InstallerRecord> installers;
  std::vector<std::string> required_names;  // as written, until the section ends
  // Not owned: every feature belongs to feature_list, and a feature may require
  // itself or one that requires it.
  std::vector<const FeatureRecord*> requires_features;
  std::optional<std::string> driver_inf;
  std::optional<std::string> driver_device;
  std::uint32_t installer_size = 0;
};

using FeaturePtr = std::shared_ptr<FeatureRecord>;

struct ComponentRecord {
  std::string name;
  std::optional<std::string> description;
  bool selected = false;
  bool required = false;
  bool available = false;
  bool java = false;
  bool installed = false;
  std::vector<FeaturePtr> features;
  std::vector<std::string> alternates;
};

using ComponentPtr = std::shared_ptr<ComponentRecord>;

struct ResourceRecord {
  std::string name;
  std::string path;
  std::optional<std::string> key;
  std::uint32_t size = 0;
  bool own_program = false;  // the installer's own stub: the installed copy
};

struct RegistryRecord {
  RegistryRoot root = kRootOther;
  std::string key_path;
  std::string value_name;  // empty: the key's default value
  int kind = kRegistryNumber;
  std::uint32_t number = 0;
  std::string text;
};

struct ShortcutRecord {
  std::string name;
  std::string target;
  std::optional<std::string> arguments;
  std::optional<std::string> icon;  // name of the variable holding the icon file
};

// Every list the manifest fills. A list that is absent differs from an empty one.
struct ManifestLists {
  std::optional<std::vector<FeaturePtr>> feature_list;
  std::optional<std::vector<ComponentPtr>> component_list;
  std::vector<ResourceRecord> resource_list;
  std::vector<RegistryRecord> registry_list;
  std::optional<std::vector<ShortcutRecord>> shortcut_list;
  std::vector<std::string> variable_names;
  std::vector<std::string> installed_files;
  std::vector<std::string> installed_folders;
};

// Visits every file record of the payload in its order: feature by feature, folder
// by folder, file by file.
template <typename Visit>
void ForEachFileRecord(const ManifestLists& lists, Visit visit) {
  if (!lists.feature_list) return;
  for (const FeaturePtr& feature : *lists.feature_list)
    for (const FolderRecord& folder : feature->folders)
      for (const FileRecord& file : folder.files) visit(folder, file);
}

// What a manifest fills in: the variable store and the record lists, with the
// options that shape them and the temporary files its resources become.
struct ManifestState {
  explicit ManifestState(const InstallerVariables::EnvironmentLookup& environment) : variables(environment) {}

  InstallerVariables variables;
  // Component names left out by "--no-" options.
  std::vector<std::string> exclude_list;
  // Temporary files and folders, in the order they were made; removed in reverse.
  std::vector<std::string> temp_list;
  // Features, components, resources and the other records of the manifest.
  ManifestLists lists;
};

}  // namespace inst
