// The installer's command line: splitting the text into arguments, the option
// table, and the run mode the options choose.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/messages.h"
#include "core/support/variables.h"

namespace inst {

struct SplitCommandLineResult {
  // Element 0 is the empty text; the arguments follow in order.
  std::vector<std::string> arguments;
  // An argument longer than kMaxArgumentLength was met (the run must end with
  // error 917); `arguments` then holds what was split before it.
  bool argument_too_long = false;
};

// Splits the command-line text that follows the program name. Blanks, tabs and line
// feeds separate arguments; single or double quotes group, and are dropped.
SplitCommandLineResult SplitCommandLine(std::string_view text);

// Applies one argument by the option table; false for one that matches no option
// (ignored, but for an unattended run). Names from "--no-" options are appended to
// `exclude_list`.
bool ApplyArgument(std::string_view argument, InstallerVariables& variables, std::vector<std::string>& exclude_list);

// The list of options that "--help" and "/?" show.
const char* HelpText();

// Settles the folder given with --dir= (or as InstDir): written as administrators
// write it ("D:/Tools/") it names D:\Tools; an empty or relative folder, which would
// install at the drive root or beside the installer, ends the run. "default" asks
// for the usual folder.
void SettleInstallFolderOption(InstallerVariables& variables, Messages& messages);

// A folder and the licence agreement given on the command line make the run
// headless: an installation, unless a removal was asked for.
void DecideRunMode(InstallerVariables& variables);

// Why an unattended run cannot be carried out without a person (an option it does
// not know, or a page it would have to show), or nothing.
std::optional<std::string> UnattendedRefusal(const InstallerVariables& variables,
                                             const std::vector<std::string>& unknown_options);

}  // namespace inst
