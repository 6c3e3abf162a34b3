#include "win/win_registry.h"

#include <vector>

#include "win/handles.h"

namespace inst::win {

HKEY RegistryRoot(int code) {
  switch (code & ~kView64) {
    case kHKCC:
      return HKEY_CURRENT_CONFIG;
    case kHKCU:
      return HKEY_CURRENT_USER;
    case kHKLM:
      return HKEY_LOCAL_MACHINE;
    default:
      return HKEY_CLASSES_ROOT;
  }
}

namespace {

// The view a root code names, as an access flag (none: the process's own view).
REGSAM ViewOf(int root) { return (root & kView64) ? KEY_WOW64_64KEY : 0; }

std::uint32_t OpenKey(int root, const std::string& key, REGSAM access, RegistryKey& out) {
  return static_cast<std::uint32_t>(
      ::RegOpenKeyExA(RegistryRoot(root), key.c_str(), 0, access | ViewOf(root), out.put()));
}

std::uint32_t CreateKey(int root, const std::string& key, RegistryKey& out) {
  return static_cast<std::uint32_t>(::RegCreateKeyExA(RegistryRoot(root), key.c_str(), 0, nullptr,
                                                      REG_OPTION_NON_VOLATILE, KEY_WRITE | ViewOf(root), nullptr,
                                                      out.put(), nullptr));
}

// Stored string data up to its first zero: data stored without its terminating
// zero still gives a proper text.
std::string TextOf(const char* data, DWORD length) {
  std::size_t n = 0;
  while (n < length && data[n] != '\0') ++n;
  return std::string(data, n);
}

}  // namespace

RegistryValue WinRegistry::RegistryReadStored(int root, const std::string& key, const std::string& name) {
  RegistryValue result;
  RegistryKey handle;
  if ((result.error = OpenKey(root, key, KEY_READ, handle)) != 0) return result;
  std::vector<char> buffer(kRegistryValueLimit);
  DWORD type = 0;
  DWORD length = static_cast<DWORD>(buffer.size());
  result.error = static_cast<std::uint32_t>(
      ::RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &length));
  if (result.error != 0) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    result.error = kErrorBadArguments;
    return result;
  }
  result.text = TextOf(buffer.data(), length);
  result.expandable = type == REG_EXPAND_SZ;
  return result;
}

RegistryValue WinRegistry::RegistryReadString(int root, const std::string& key, const std::string& name) {
  RegistryValue result = RegistryReadStored(root, key, name);
  if (!result.ok() || !result.expandable) return result;
  std::vector<char> expanded(kRegistryExpansionLimit);
  const DWORD size =
      ::ExpandEnvironmentStringsA(result.text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
  if (size >= 1 && size <= expanded.size())
    result.text = TextOf(expanded.data(), size);
  else
    result.error = kErrorMoreData;
  result.expandable = false;
  return result;
}

std::uint32_t WinRegistry::RegistryReadDword(int root, const std::string& key, const std::string& name,
                                             std::uint32_t& out) {
  RegistryKey handle;
  if (const std::uint32_t error = OpenKey(root, key, KEY_READ, handle)) return error;
  DWORD type = 0;
  DWORD value = 0;
  DWORD length = sizeof value;
  const LONG error =
      ::RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &length);
  if (error != ERROR_SUCCESS) return static_cast<std::uint32_t>(error);
  if (type != REG_DWORD) return kErrorBadArguments;
  out = value;
  return 0;
}

SubkeyList WinRegistry::RegistryListSubkeys(int root, const std::string& key) {
  SubkeyList list;
  RegistryKey handle;
  if ((list.error = OpenKey(root, key, KEY_ENUMERATE_SUB_KEYS, handle)) != 0) return list;
  for (DWORD index = 0;; ++index) {
    char name[128];
    DWORD length = sizeof name;
    const LONG error = ::RegEnumKeyExA(handle.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
      list.error = error == ERROR_NO_MORE_ITEMS ? 0 : static_cast<std::uint32_t>(error);
      break;
    }
    list.names.emplace_back(name, length);
  }
  return list;
}

namespace {

std::uint32_t WriteText(int root, const std::string& key, const std::string& name, const std::string& text,
                        DWORD type) {
  RegistryKey handle;
  if (const std::uint32_t error = CreateKey(root, key, handle)) return error;
  return static_cast<std::uint32_t>(::RegSetValueExA(handle.get(), name.c_str(), 0, type,
                                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                                     static_cast<DWORD>(text.size() + 1)));
}

}  // namespace

std::uint32_t WinRegistry::RegistryWriteString(int root, const std::string& key, const std::string& name,
                                               const std::string& text) {
  return WriteText(root, key, name, text, REG_SZ);
}

std::uint32_t WinRegistry::RegistryWriteExpandString(int root, const std::string& key, const std::string& name,
                                                     const std::string& text) {
  return WriteText(root, key, name, text, REG_EXPAND_SZ);
}

std::uint32_t WinRegistry::RegistryWriteDword(int root, const std::string& key, const std::string& name,
                                              std::uint32_t value) {
  RegistryKey handle;
  if (const std::uint32_t error = CreateKey(root, key, handle)) return error;
  const DWORD data = value;
  return static_cast<std::uint32_t>(
      ::RegSetValueExA(handle.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data));
}

std::uint32_t WinRegistry::RegistryDeleteTree(int root, const std::string& key) {
  // Listed before anything is deleted, so that the deletions cannot disturb the listing.
  const SubkeyList subkeys = RegistryListSubkeys(root, key);
  // A subkey left behind makes deleting the key itself fail, which is the result.
  for (const std::string& name : subkeys.names) static_cast<void>(RegistryDeleteTree(root, key + "\\" + name));
  return static_cast<std::uint32_t>(::RegDeleteKeyExA(RegistryRoot(root), key.c_str(), ViewOf(root), 0));
}

std::uint32_t WinRegistry::RegistryDeleteValue(int root, const std::string& key, const std::string& name) {
  RegistryKey handle;
  if (const std::uint32_t error = OpenKey(root, key, KEY_WRITE, handle)) return error;
  return static_cast<std::uint32_t>(::RegDeleteValueA(handle.get(), name.c_str()));
}

}  // namespace inst::win
