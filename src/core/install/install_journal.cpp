#include "core/install/install_journal.h"

#include <algorithm>

#include "core/support/text.h"

namespace inst {

bool JournalingRegistry::KeyExists(int root, const std::string& key) {
  return registry_.RegistryListSubkeys(root, key).error != kErrorFileNotFound;
}

void JournalingRegistry::Note(int root, const std::string& key, const std::string& name) {
  if (!journal_.recording) return;
  // Nothing to note inside a key this run created: it goes as a whole.
  for (const InstallJournal::Key& created : journal_.keys) {
    if (created.root == root && IsWithinFolder(key, created.path)) return;
  }
  if (!KeyExists(root, key)) {
    std::size_t end = 0;
    do {
      end = key.find('\\', end + 1);
      const std::string prefix = key.substr(0, end);
      if (!KeyExists(root, prefix)) {
        journal_.keys.push_back({root, prefix});
        return;
      }
    } while (end != std::string::npos);
    return;
  }
  if (registry_.RegistryReadString(root, key, name).error == kErrorFileNotFound)
    journal_.values.push_back({root, key, name});
}

void RollBackInstallation(InstallJournal& journal, FileSystem& files, Registry& registry) {
  journal.recording = false;
  // Best effort: the run is already failing, and each step that fails leaves no
  // more behind than stopping would.
  for (const InstallJournal::Value& value : journal.values)
    static_cast<void>(registry.RegistryDeleteValue(value.root, value.key, value.name));
  for (const InstallJournal::Key& key : journal.keys)
    static_cast<void>(registry.RegistryDeleteTree(key.root, key.path));
  for (auto file = journal.files.rbegin(); file != journal.files.rend(); ++file)
    static_cast<void>(files.RemoveFile(*file));
  for (auto folder = journal.folders.rbegin(); folder != journal.folders.rend(); ++folder)
    static_cast<void>(files.RemoveFolder(*folder));
  journal = InstallJournal{};
}

}  // namespace inst
