// The installer's small grammars on arbitrary text: the command-line splitter and
// option table with the folder rules, bracket expansion and the %InstDir% rules,
// and the [Registry] and [Shortcuts] line grammars. The first byte picks which.
#include <cstdint>
#include <cstdlib>

#include "core/manifest/entry_grammars.h"
#include "core/install/installed_manifest.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/command_line.h"
#include "core/support/limits.h"
#include "fake_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace inst;
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  testing::RunFixture run;
  InstallerVariables& vars = run.state.variables;
  try {
    switch (data[0] % 4) {
      case 0: {
        const SplitCommandLineResult split = SplitCommandLine(text);
        for (const std::string& argument : split.arguments) {
          if (argument.size() > kMaxArgumentLength) std::abort();
          ApplyArgument(argument, vars, run.state.exclude_list);
        }
        SettleInstallFolderOption(vars, run.messages);
        DecideRunMode(vars);
        break;
      }
      case 1: {
        // The text's halves: a variable's value, and a text that refers to it.
        vars.SetVariable("Version", "1.0");
        vars.SetVariable("A", text.substr(0, text.size() / 2));
        vars.SetVariable(text.substr(0, text.size() / 4), "B");
        const std::string expanded = vars.ExpandVariables(text.substr(text.size() / 2));
        if (expanded.size() > kMaxExpansionLength) std::abort();
        break;
      }
      case 2: {
        vars.SetVariable("InstDir", text.substr(0, text.size() / 3));
        const std::string rest = text.substr(text.size() / 3);
        (void)CollapseInstDir(ExpandInstDir(rest, vars), vars);
        break;
      }
      default:
        (void)ParseRegistryEntry(text);
        (void)ParseShortcut(text.substr(0, text.size() / 4), text.substr(text.size() / 4));
        break;
    }
  } catch (const testing::ProcessEnded&) {
  }
  return 0;
}
