// What an installation run created, so that a run that fails or is cancelled can
// take it back and leave the machine as it found it: files and folders that did
// not exist before, registry keys and values it created. What existed before stays.
#pragma once
#include <string>
#include <vector>

#include "core/install/registry.h"
#include "core/support/os.h"

namespace inst {

struct InstallJournal {
  struct Key {
    int root;
    std::string path;
  };
  struct Value {
    int root;
    std::string key;
    std::string name;
  };

  // Starts recording afresh; the run's last step stops it, keeping what it made.
  void Begin() {
    *this = InstallJournal{};
    recording = true;
  }
  void Finish() { recording = false; }

  bool recording = false;
  std::vector<std::string> files;    // in the order made
  std::vector<std::string> folders;  // parents first
  std::vector<Key> keys;             // the topmost key each write created
  std::vector<Value> values;         // values created in keys that existed
};

// The registry as the installation run writes it: every write also notes, while the
// journal records, the key or value it creates.
class JournalingRegistry final : public Registry {
 public:
  JournalingRegistry(Registry& registry, InstallJournal& journal) : registry_(registry), journal_(journal) {}

  RegistryValue RegistryReadString(int root, const std::string& key, const std::string& name) override {
    return registry_.RegistryReadString(root, key, name);
  }
  [[nodiscard]] std::uint32_t RegistryReadDword(int root, const std::string& key, const std::string& name,
                                                std::uint32_t& out) override {
    return registry_.RegistryReadDword(root, key, name, out);
  }
  RegistryValue RegistryReadStored(int root, const std::string& key, const std::string& name) override {
    return registry_.RegistryReadStored(root, key, name);
  }
  SubkeyList RegistryListSubkeys(int root, const std::string& key) override {
    return registry_.RegistryListSubkeys(root, key);
  }
  [[nodiscard]] std::uint32_t RegistryWriteString(int root, const std::string& key, const std::string& name,
                                                  const std::string& text) override {
    Note(root, key, name);
    return registry_.RegistryWriteString(root, key, name, text);
  }
  [[nodiscard]] std::uint32_t RegistryWriteExpandString(int root, const std::string& key, const std::string& name,
                                                        const std::string& text) override {
    Note(root, key, name);
    return registry_.RegistryWriteExpandString(root, key, name, text);
  }
  [[nodiscard]] std::uint32_t RegistryWriteDword(int root, const std::string& key, const std::string& name,
                                                 std::uint32_t value) override {
    Note(root, key, name);
    return registry_.RegistryWriteDword(root, key, name, value);
  }
  [[nodiscard]] std::uint32_t RegistryDeleteTree(int root, const std::string& key) override {
    return registry_.RegistryDeleteTree(root, key);
  }
  [[nodiscard]] std::uint32_t RegistryDeleteValue(int root, const std::string& key, const std::string& name) override {
    return registry_.RegistryDeleteValue(root, key, name);
  }

 private:
  void Note(int root, const std::string& key, const std::string& name);
  bool KeyExists(int root, const std::string& key);

  Registry& registry_;
  InstallJournal& journal_;
};

// Takes back what the journal recorded: values, keys, files, then the folders that
// are left empty, deepest first. Stops the recording.
void RollBackInstallation(InstallJournal& journal, FileSystem& files, Registry& registry);

}  // namespace inst
