#include "win/ui_language.h"

#include <vector>

#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst::win {

namespace {

std::string RequestedCode(const InstallerVariables& variables) {
  if (const std::string* given = variables.GetVariable(var::kUiLanguage)) {
    std::string code = *given;
    return LowerCase(code);
  }
  return UiLanguageOfLangId(::GetUserDefaultUILanguage());
}

// The language files are UTF-8; the program's windows take the system's ANSI code page.
std::string InAnsiCodePage(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int wide_length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<std::size_t>(wide_length));
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wide_length);
  const int length = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, out.data(), length, nullptr, nullptr);
  return out;
}

void Take(Services& services, const std::string& code, std::string_view lines, bool keyed) {
  if (const auto refusal = services.ui.Load(code, InAnsiCodePage(lines), keyed))
    services.log.Write("The wizard's language " + code + " is not used: " + *refusal);
}

}  // namespace

void ChooseBuiltInUiLanguage(const InstallerVariables& variables, Services& services) {
  const std::string code = RequestedCode(variables);
  if (const std::string lines = BuiltInUiTexts(code); !lines.empty()) Take(services, code, lines, false);
}

void ChooseProductUiLanguage(const InstallerVariables& variables, Services& services) {
  const std::string code = RequestedCode(variables);
  if (code == "en" || !BuiltInUiTexts(code).empty()) return;
  const std::string* file = variables.GetVariable("UITEXTS_" + code);
  const std::optional<std::string> lines = file ? services.files.ReadWholeFile(*file) : std::nullopt;
  if (lines) {
    Take(services, code, *lines, true);
  } else if (variables.GetVariable(var::kUiLanguage)) {
    services.messages.FatalExit(kExitBadOption, msg::kUnknownUiLanguage, code.c_str());
  }
}

}  // namespace inst::win
