#include "core/support/command_line.h"

#include "core/support/limits.h"
#include "core/support/support_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

SplitCommandLineResult SplitCommandLine(std::string_view text) {
  SplitCommandLineResult result;
  result.arguments.emplace_back();

  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);

  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsSeparator(text[pos])) ++pos;
    if (pos == text.size()) break;

    std::string argument;
    char quote = 0;
    for (; pos < text.size(); ++pos) {
      const char c = text[pos];
      if (quote != 0) {
        if (c == quote)
          quote = 0;
        else
          argument += c;
      } else if (IsSeparator(c)) {
        break;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else {
        argument += c;
      }
    }
    if (argument.size() > kMaxArgumentLength) {
      result.argument_too_long = true;
      return result;
    }
    result.arguments.push_back(std::move(argument));
  }
  return result;
}

bool ApplyArgument(std::string_view argument, InstallerVariables& variables, std::vector<std::string>& exclude_list) {
  constexpr std::string_view kDir = "--dir=";
  constexpr std::string_view kLog = "--log=";
  constexpr std::string_view kLanguage = "--language=";
  constexpr std::string_view kUiLanguage = "--ui-language=";
  constexpr std::string_view kNo = "--no-";
  constexpr std::string_view kSetTrue = "--setTrue-";
  constexpr std::string_view kSetVariable = "--setVariable-";

  if (EqualsIgnoreCase(argument, "--I agree to the terms of the licence")) {
    variables.SetFlag(var::kLicenceAgreed, true);
  } else if (StartsWithIgnoreCase(argument, kDir)) {
    variables.SetVariable(var::kInstDir, argument.substr(kDir.size()));
  } else if (EqualsIgnoreCase(argument, "--subinstall")) {
    variables.SetFlag(var::kSubInstall, true);
  } else if (EqualsIgnoreCase(argument, "--remove")) {
    variables.SetFlag(var::kRemove, true);
  } else if (EqualsIgnoreCase(argument, "--remove-silently")) {
    variables.SetFlag(var::kRemove, true);
    variables.SetFlag(var::kHeadlessInstall, true);
  } else if (EqualsIgnoreCase(argument, "--unattended")) {
    variables.SetFlag(var::kUnattended, true);
  } else if (StartsWithIgnoreCase(argument, kUiLanguage)) {
    variables.SetVariable(var::kUiLanguage, argument.substr(kUiLanguage.size()));
  } else if (StartsWithIgnoreCase(argument, kLanguage)) {
    variables.SetVariable(var::kMessageLanguage, argument.substr(kLanguage.size()));
  } else if (EqualsIgnoreCase(argument, "--add-path")) {
    variables.SetFlag(var::kAddPath, true);
  } else if (StartsWithIgnoreCase(argument, kLog)) {
    variables.SetVariable(var::kLogFile, argument.substr(kLog.size()));
  } else if (EqualsIgnoreCase(argument, "--help") || argument == "/?") {
    variables.SetFlag(var::kShowHelp, true);
  } else if (EqualsIgnoreCase(argument, "--no-tessara")) {
    exclude_list.emplace_back("TESSARA");
  } else if (StartsWithIgnoreCase(argument, kNo)) {
    exclude_list.emplace_back(argument.substr(kNo.size()));
  } else if (StartsWithIgnoreCase(argument, kSetTrue)) {
    if (argument.size() > kSetTrue.size()) variables.SetFlag(argument.substr(kSetTrue.size()), true);
  } else if (StartsWithIgnoreCase(argument, kSetVariable)) {
    const std::string_view assignment = argument.substr(kSetVariable.size());
    // The name needs at least one character, so the "=" is looked for behind it.
    const auto equals = assignment.empty() ? std::string_view::npos : assignment.find('=', 1);
    if (equals != std::string_view::npos) {
      variables.SetVariable(assignment.substr(0, equals), assignment.substr(equals + 1));
    }
  } else {
    return false;
  }
  return true;
}

void SettleInstallFolderOption(InstallerVariables& variables, Messages& messages) {
  const std::string* folder = variables.GetVariable(var::kInstDir);
  if (folder == nullptr || EqualsIgnoreCase(*folder, "default")) return;
  if (!IsFullPath(*folder)) {
    messages.FatalExit(kExitBadOption, msg::kDirMustBeFullPath, folder->c_str());
  }
  variables.SetVariable(var::kInstDir, NormalizeFolder(*folder));
}

void DecideRunMode(InstallerVariables& variables) {
  if (variables.GetVariable(var::kInstDir) != nullptr && variables.TestFlag(var::kLicenceAgreed)) {
    variables.SetFlag(var::kHeadlessInstall, true);
    if (!variables.TestFlag(var::kRemove)) variables.SetFlag(var::kInstall, true);
  }
}

std::optional<std::string> UnattendedRefusal(const InstallerVariables& variables,
                                             const std::vector<std::string>& unknown_options) {
  if (!variables.TestFlag(var::kUnattended)) return std::nullopt;
  if (!unknown_options.empty()) return FormatText(msg::kUnknownOption, unknown_options.front().c_str());
  if (!variables.TestFlag(var::kHeadlessInstall)) return std::string(msg::kUnattendedNeedsAPerson);
  return std::nullopt;
}

const char* HelpText() { return msg::kHelpText; }

}  // namespace inst
