// The registry layer: every registry access of the installer, by root code and key
// path. Operations return Windows error codes (0 for success) and never report to
// the user. setup.exe implements it on the real registry; tests in memory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/support/registry_kinds.h"

namespace inst {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorBadArguments = 160;  // wrong value type
inline constexpr std::uint32_t kErrorMoreData = 234;      // value or expansion too long
inline constexpr std::uint32_t kErrorNoMoreItems = 259;   // end of an enumeration

// Longest stored string value read, and longest expansion of a REG_EXPAND_SZ value,
// in bytes with the terminating zero.
inline constexpr std::size_t kRegistryValueLimit = 2048;
inline constexpr std::size_t kRegistryExpansionLimit = 4100;

struct RegistryValue {
  std::string text;  // the value's text, without its terminating zero
  std::uint32_t error = kErrorSuccess;
  bool expandable = false;  // stored as REG_EXPAND_SZ (RegistryReadStored only)
  bool ok() const { return error == kErrorSuccess; }
};

struct SubkeyList {
  std::vector<std::string> names;       // in enumeration order
  std::uint32_t error = kErrorSuccess;  // 0 when the enumeration ran to its end
};

class Registry {
 public:
  virtual ~Registry() = default;
  // REG_SZ as stored, REG_EXPAND_SZ expanded; other types give 160.
  virtual RegistryValue RegistryReadString(int root, const std::string& key, const std::string& name) = 0;
  [[nodiscard]] virtual std::uint32_t RegistryReadDword(int root, const std::string& key, const std::string& name,
                                                        std::uint32_t& out) = 0;
  // REG_SZ or REG_EXPAND_SZ as stored, references left as they are; other types give 160.
  virtual RegistryValue RegistryReadStored(int root, const std::string& key, const std::string& name) = 0;
  virtual SubkeyList RegistryListSubkeys(int root, const std::string& key) = 0;
  // Creates missing keys.
  [[nodiscard]] virtual std::uint32_t RegistryWriteString(int root, const std::string& key, const std::string& name,
                                                          const std::string& text) = 0;
  // REG_EXPAND_SZ: references such as %SystemRoot% stay in the stored text.
  [[nodiscard]] virtual std::uint32_t RegistryWriteExpandString(int root, const std::string& key,
                                                                const std::string& name, const std::string& text) = 0;
  [[nodiscard]] virtual std::uint32_t RegistryWriteDword(int root, const std::string& key, const std::string& name,
                                                         std::uint32_t value) = 0;
  // Deletes the key with everything below it, deepest first; the result is that of
  // deleting the key itself.
  [[nodiscard]] virtual std::uint32_t RegistryDeleteTree(int root, const std::string& key) = 0;
  [[nodiscard]] virtual std::uint32_t RegistryDeleteValue(int root, const std::string& key,
                                                          const std::string& name) = 0;
};

}  // namespace inst
