// The registry layer in memory, for tests of the logic above it. Keys and value
// names compare ignoring case, as in the real registry.
#pragma once
#include <map>
#include <set>
#include <variant>

#include "core/install/registry.h"
#include "core/support/text.h"

namespace inst::testing {

class MemoryRegistry final : public Registry {
 public:
  using Data = std::variant<std::string, std::uint32_t>;
  struct Key {
    std::map<std::string, Data, LessIgnoreCase> values;
  };

  // The 64-bit view is kept apart, as a 32-bit installer on 64-bit Windows sees it.
  static int Root(int code) {
    const int plain = code & ~kView64;
    return (plain >= 1 && plain <= 4 ? plain : kHKCR) | (code & kView64);
  }
  static std::string Path(int root, const std::string& key) { return std::to_string(Root(root)) + ":" + key; }

  RegistryValue RegistryReadString(int root, const std::string& key, const std::string& name) override {
    RegistryValue result;
    const Data* data = Find(root, key, name, result.error);
    if (!data) return result;
    if (auto* text = std::get_if<std::string>(data)) {
      if (text->size() + 1 > kRegistryValueLimit)
        result.error = kErrorMoreData;
      else
        result.text = *text;
    } else {
      result.error = kErrorBadArguments;
    }
    return result;
  }
  // References are not expanded here: the stored text comes back either way.
  RegistryValue RegistryReadStored(int root, const std::string& key, const std::string& name) override {
    RegistryValue result = RegistryReadString(root, key, name);
    result.expandable = result.ok() && expandable.count(Path(root, key) + "\\" + name);
    return result;
  }
  std::uint32_t RegistryReadDword(int root, const std::string& key, const std::string& name,
                                  std::uint32_t& out) override {
    std::uint32_t error = 0;
    const Data* data = Find(root, key, name, error);
    if (!data) return error;
    if (auto* number = std::get_if<std::uint32_t>(data)) {
      out = *number;
      return 0;
    }
    return std::get<std::string>(*data).size() + 1 > 4 ? kErrorMoreData : kErrorBadArguments;
  }
  SubkeyList RegistryListSubkeys(int root, const std::string& key) override {
    SubkeyList list;
    if (!keys.count(Path(root, key))) {
      list.error = kErrorFileNotFound;
      return list;
    }
    const std::string prefix = Path(root, key) + "\\";
    for (const auto& [path, content] : keys) {
      if (path.size() > prefix.size() && StartsWithIgnoreCase(path, prefix) &&
          path.find('\\', prefix.size()) == std::string::npos) {
        list.names.push_back(path.substr(prefix.size()));
      }
    }
    return list;
  }
  std::uint32_t RegistryWriteString(int root, const std::string& key, const std::string& name,
                                    const std::string& text) override {
    if (denied.count(Path(root, key))) return 5;
    Create(root, key).values[name] = text;
    expandable.erase(Path(root, key) + "\\" + name);
    return 0;
  }
  std::uint32_t RegistryWriteExpandString(int root, const std::string& key, const std::string& name,
                                          const std::string& text) override {
    const std::uint32_t error = RegistryWriteString(root, key, name, text);
    if (error == 0) expandable.insert(Path(root, key) + "\\" + name);
    return error;
  }
  std::uint32_t RegistryWriteDword(int root, const std::string& key, const std::string& name,
                                   std::uint32_t value) override {
    if (denied.count(Path(root, key))) return 5;
    Create(root, key).values[name] = value;
    return 0;
  }
  std::uint32_t RegistryDeleteTree(int root, const std::string& key) override {
    for (const std::string& name : RegistryListSubkeys(root, key).names) RegistryDeleteTree(root, key + "\\" + name);
    deleted.push_back(Path(root, key));
    return keys.erase(Path(root, key)) ? 0 : kErrorFileNotFound;
  }
  std::uint32_t RegistryDeleteValue(int root, const std::string& key, const std::string& name) override {
    auto it = keys.find(Path(root, key));
    if (it == keys.end()) return kErrorFileNotFound;
    return it->second.values.erase(name) ? 0 : kErrorFileNotFound;
  }

  Key& Create(int root, const std::string& key) {
    // Parents exist too, as RegCreateKeyEx makes them.
    for (auto at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
      keys[Path(root, key.substr(0, at))];
    return keys[Path(root, key)];
  }
  const Data* Value(int root, const std::string& key, const std::string& name) {
    std::uint32_t error = 0;
    return Find(root, key, name, error);
  }

  std::map<std::string, Key, LessIgnoreCase> keys;
  std::set<std::string, LessIgnoreCase> expandable;  // "root:key\\name" of REG_EXPAND_SZ values
  std::set<std::string, LessIgnoreCase> denied;      // keys whose writes fail with 5
  std::vector<std::string> deleted;                  // in the order they went

 private:
  const Data* Find(int root, const std::string& key, const std::string& name, std::uint32_t& error) {
    auto it = keys.find(Path(root, key));
    if (it == keys.end()) {
      error = kErrorFileNotFound;
      return nullptr;
    }
    auto value = it->second.values.find(name);
    if (value == it->second.values.end()) {
      error = kErrorFileNotFound;
      return nullptr;
    }
    return &value->second;
  }
};

}  // namespace inst::testing
