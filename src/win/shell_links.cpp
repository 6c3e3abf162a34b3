#include "win/shell_links.h"

#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "core/install/confinement.h"
#include "core/manifest/entry_grammars.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "win/call_failure.h"
#include "win/handles.h"
#include "win/win_messages.h"

namespace inst::win {

namespace {

// The identifiers this file needs, defined here: libuuid's one object would bring
// every identifier of the system into the stub.
constexpr GUID kClsidShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

const char* OrNull(const std::optional<std::string>& text) { return text ? text->c_str() : "(null)"; }

}  // namespace

long CreateShellLink(Messages& messages, const std::string& target, const std::string& link,
                     const std::optional<std::string>& description, const std::optional<std::string>& arguments,
                     const std::optional<std::string>& working_folder, const std::optional<std::string>& icon) {
  // The call's result, then the thread's last error.
  auto fail = [&](const char* what, HRESULT result) {
    const CallFailure failure{what, static_cast<std::uint32_t>(result)};
    messages.FatalError("%s/%d (%s, %s, %s, %s)", failure.Text().c_str(), static_cast<int>(::GetLastError()),
                        target.c_str(), link.c_str(), OrNull(description), OrNull(working_folder));
  };
  ComPtr<IShellLinkA> shell_link;
  HRESULT result = ::CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, shell_link.put());
  if (FAILED(result)) fail("CoCreateInstance", result);
  shell_link->SetPath(target.c_str());
  if (arguments) shell_link->SetArguments(arguments->c_str());
  if (description) shell_link->SetDescription(description->c_str());
  if (working_folder) shell_link->SetWorkingDirectory(working_folder->c_str());
  if (icon) shell_link->SetIconLocation(icon->c_str(), 0);

  ComPtr<IPersistFile> file;
  result = shell_link->QueryInterface(kIidPersistFile, file.put());
  if (FAILED(result)) fail("QueryInterface", result);
  std::vector<wchar_t> wide(MAX_PATH);
  ::MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.back() = L'\0';
  result = file->Save(wide.data(), TRUE);
  if (FAILED(result)) fail("Save", result);
  return result;
}

std::optional<std::string> ReadLinkTarget(const std::string& link) {
  ComScope com;
  ComPtr<IShellLinkA> shell_link;
  ComPtr<IPersistFile> file;
  std::vector<wchar_t> wide(MAX_PATH);
  std::vector<char> target(MAX_PATH);
  if (FAILED(::CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, shell_link.put())) ||
      FAILED(shell_link->QueryInterface(kIidPersistFile, file.put())) ||
      ::MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide.data(), static_cast<int>(wide.size())) == 0 ||
      FAILED(file->Load(wide.data(), STGM_READ)) ||
      shell_link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, SLGP_RAWPATH) != S_OK)
    return std::nullopt;
  return std::string(target.data());
}

void CreateShortcuts(InstallerState& state, Messages& messages, FileExtractor& extractor) {
  auto& lists = state.lists;
  if (!lists.shortcut_list) return;
  ComScope com;
  InstallerVariables& vars = state.variables;
  const std::string folder = vars.ValueOf(var::kShortcutFolder);
  extractor.CreateFolderPath(folder);

  for (const ShortcutRecord& shortcut : *lists.shortcut_list) {
    const std::string target = ShortcutTarget(vars, shortcut);
    const std::string working(ParentFolder(target).value_or(target));
    const std::string link = ShortcutLinkPath(vars, shortcut);
    RefuseOutsideInstallation(vars, messages, link);
    state.journal.BeforeWriting(link);
    ::DeleteFileA(link.c_str());
    std::optional<std::string> icon;
    if (shortcut.icon) {
      if (const std::string* value = vars.GetVariable(*shortcut.icon)) icon = *value;
    }
    CreateShellLink(messages, target, link, std::string(), shortcut.arguments, working, icon);
    lists.installed_files.push_back(link);
  }

  if (const std::string* holtek = vars.GetVariable(var::kHoltekIDEPath)) {
    const std::string link = JoinPath(folder, "HT-IDE3000.lnk");
    state.journal.BeforeWriting(link);
    CreateShellLink(messages, *holtek, link, std::string(msg::kHoltekLinkDescription), std::nullopt, std::nullopt,
                    std::nullopt);
    lists.installed_files.push_back(link);
  }
}

}  // namespace inst::win
