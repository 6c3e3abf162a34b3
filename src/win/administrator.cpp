#include "win/administrator.h"

#include "win/handles.h"
#include "win/system_libraries.h"

namespace inst::win {

namespace {

using CheckTokenMembershipFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);

bool IsMemberOfAdministrators(CheckTokenMembershipFn check) {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  Sid administrators;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, administrators.put())) {
    return false;
  }
  BOOL member = FALSE;
  if (!check(nullptr, administrators.get(), &member)) member = FALSE;
  return member != FALSE;
}

// Systems without token membership tests: whoever may write under the machine's
// software key may install.
bool CanWriteMachineSoftwareKey(const InstallerVariables& variables) {
  const std::string path = variables.ExpandVariables("SOFTWARE\\[Manufacturer]");
  RegistryKey key;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  static const char kYes[] = "yes";
  if (::RegSetValueExA(key.get(), "CheckAdminPrivs", 0, REG_SZ, reinterpret_cast<const BYTE*>(kYes), sizeof kYes) !=
      ERROR_SUCCESS) {
    return false;
  }
  ::RegDeleteValueA(key.get(), "CheckAdminPrivs");
  return true;
}

}  // namespace

bool IsAdministrator(const InstallerVariables& variables) {
  Library advapi(LoadSystemLibrary("Advapi32.dll"));
  if (auto check = LoadProc<CheckTokenMembershipFn>(advapi.get(), "CheckTokenMembership")) {
    return IsMemberOfAdministrators(check);
  }
  return CanWriteMachineSoftwareKey(variables);
}

bool IsElevated() {
  Library advapi(LoadSystemLibrary("Advapi32.dll"));
  auto check = LoadProc<CheckTokenMembershipFn>(advapi.get(), "CheckTokenMembership");
  return check != nullptr && IsMemberOfAdministrators(check);
}

}  // namespace inst::win
