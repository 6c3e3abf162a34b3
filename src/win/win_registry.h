#pragma once
#include <windows.h>

#include "core/install/registry.h"

namespace inst::win {

// The root key handle of a root code.
HKEY RegistryRoot(int code);

class WinRegistry final : public Registry {
 public:
  RegistryValue RegistryReadString(int root, const std::string& key, const std::string& name) override;
  [[nodiscard]] std::uint32_t RegistryReadDword(int root, const std::string& key, const std::string& name,
                                                std::uint32_t& out) override;
  RegistryValue RegistryReadStored(int root, const std::string& key, const std::string& name) override;
  SubkeyList RegistryListSubkeys(int root, const std::string& key) override;
  [[nodiscard]] std::uint32_t RegistryWriteString(int root, const std::string& key, const std::string& name,
                                                  const std::string& text) override;
  [[nodiscard]] std::uint32_t RegistryWriteExpandString(int root, const std::string& key, const std::string& name,
                                                        const std::string& text) override;
  [[nodiscard]] std::uint32_t RegistryWriteDword(int root, const std::string& key, const std::string& name,
                                                 std::uint32_t value) override;
  [[nodiscard]] std::uint32_t RegistryDeleteTree(int root, const std::string& key) override;
  [[nodiscard]] std::uint32_t RegistryDeleteValue(int root, const std::string& key, const std::string& name) override;
};

}  // namespace inst::win
