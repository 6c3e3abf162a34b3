#include "core/support/command_line.h"

#include <gtest/gtest.h>

#include "core/wizard/configuration.h"

#include "fake_host.h"

namespace inst {
namespace {

using Args = std::vector<std::string>;

Args Split(std::string_view text) {
  SplitCommandLineResult result = SplitCommandLine(text);
  EXPECT_FALSE(result.argument_too_long);
  return Args(result.arguments.begin() + 1, result.arguments.end());
}

TEST(SplitCommandLine, SeparatorsAndQuotes) {
  EXPECT_EQ(SplitCommandLine("").arguments, Args{""});
  EXPECT_EQ(Split("   "), Args{});
  EXPECT_EQ(Split("  a\tb\nc  \r\r"), (Args{"a", "b", "c"}));
  EXPECT_EQ(Split("\"a b\"z"), Args{"a bz"});
  EXPECT_EQ(Split("'say \"hi\"' x"), (Args{"say \"hi\"", "x"}));
  EXPECT_EQ(Split("\"it's\""), Args{"it's"});
  EXPECT_EQ(Split("--dir=\"C:\\Program Files\\X\" --remove"), (Args{"--dir=C:\\Program Files\\X", "--remove"}));
  EXPECT_EQ(Split("a \"\" b"), (Args{"a", "", "b"}));
  EXPECT_EQ(Split("\"unclosed rest  "), Args{"unclosed rest"});
  EXPECT_EQ(Split("back\\slash\\\"q r\""), Args{"back\\slash\\q r"});
}

TEST(SplitCommandLine, ArgumentLengthLimit) {
  const std::string longest(255, 'a');
  EXPECT_EQ(Split("x " + longest), (Args{"x", longest}));
  // Quotes do not count towards the limit; the characters inside them do.
  EXPECT_EQ(Split("\"" + longest + "\""), Args{longest});

  const SplitCommandLineResult too_long = SplitCommandLine("x " + std::string(256, 'a') + " y");
  EXPECT_TRUE(too_long.argument_too_long);
  // Megabytes of input are handled like any other too-long argument.
  EXPECT_TRUE(SplitCommandLine("\"" + std::string(5'000'000, ' ') + "\"").argument_too_long);
}

TEST(SplitCommandLine, KeepsMoreThanAHundredArguments) {
  std::string text;
  for (int i = 0; i < 250; ++i) {
    text += 'a';
    text += std::to_string(i);
    text += ' ';
  }
  const Args args = Split(text);
  ASSERT_EQ(args.size(), 250u);
  EXPECT_EQ(args[0], "a0");
  EXPECT_EQ(args[249], "a249");
}

// Each line of options, and what it leaves: a value, "+" a flag that is set, "-" one
// that is not, nullptr nothing at all; then the excluded components.
struct OptionCase {
  std::vector<const char*> args;
  std::vector<std::pair<const char*, const char*>> expect;
  std::vector<std::string> excluded = {};  // component names left out
};

TEST(Options, EachOptionLineAndTheRunModeItMakes) {
  const char* licence = "--I agree to the terms of the licence";
  const OptionCase cases[] = {
      {{"--dir=C:\\Tools", licence},
       {{"InstDir", "C:\\Tools"}, {"LicenceAgreed", "+"}, {"HeadlessInstall", "+"}, {"Install", "+"}}},
      {{"--DIR=C:\\Tools", "--i AGREE to the terms of the licence", "--remove"},
       {{"HeadlessInstall", "+"}, {"Remove", "+"}, {"Install", nullptr}}},
      {{"--REMOVE-silently"}, {{"Remove", "+"}, {"HeadlessInstall", "+"}, {"Install", nullptr}}},
      {{licence}, {{"HeadlessInstall", "-"}}},  // the licence alone, or the folder alone, is interactive
      {{"--dir="}, {{"InstDir", ""}, {"HeadlessInstall", "-"}}},
      // Unattended is not headless by itself.
      {{"--UNATTENDED", "--Log=C:\\Logs\\a b.log", "/?"},
       {{"Unattended", "+"}, {"LogFile", "C:\\Logs\\a b.log"}, {"ShowHelp", "+"}, {"HeadlessInstall", "-"}}},
      {{"--HELP"}, {{"ShowHelp", "+"}}},
      {{"--SubInstall", "--no-Examples", "--NO-examples", "--no-tessara", "--no-"},
       {{"SubInstall", "+"}},
       {"Examples", "examples", "TESSARA", ""}},
      // A name must have a first character before its "=".
      {{"--setTrue-Abc", "--SETVARIABLE-Name=d=e", "--setVariable-Empty=", "--setVariable-=x=y"},
       {{"Abc", "yes"}, {"Name", "d=e"}, {"Empty", ""}, {"=x", "y"}}},
      {{"--dir=A", "--dir=B", "--setVariable-X=1", "--setVariable-x=2"}, {{"InstDir", "B"}, {"X", "2"}}},
      {{"--Language=french", "--ADD-PATH"}, {{"MessageLanguage", "french"}, {"AddPath", "+"}}},
  };
  for (const OptionCase& line : cases) {
    InstallerVariables vars(testing::NoEnvironment);
    std::vector<std::string> excluded;
    for (const char* arg : line.args) ApplyArgument(arg, vars, excluded);
    DecideRunMode(vars);
    const std::string text = line.args.front();
    for (const auto& [name, expected] : line.expect) {
      if (expected == nullptr)
        EXPECT_EQ(vars.GetVariable(name), nullptr) << text << ": " << name;
      else if (std::string(expected) == "+" || std::string(expected) == "-")
        EXPECT_EQ(vars.TestFlag(name), *expected == '+') << text << ": " << name;
      else
        EXPECT_EQ(vars.ValueOf(name), expected) << text << ": " << name;
    }
    EXPECT_EQ(excluded, line.excluded) << text;
  }
}

TEST(Options, UnknownAndNearMissOptionsAreIgnored) {
  InstallerVariables vars(testing::NoEnvironment);
  std::vector<std::string> excluded;
  const std::size_t before = vars.Count();
  for (const char* arg : {"--dirx", "--dir", "--subinstallx", "--removex", "-remove", "plain", "--log", "/help", "-?",
                          "--unattendedx", "/S", "/VERYSILENT"}) {
    EXPECT_FALSE(ApplyArgument(arg, vars, excluded)) << arg;
  }
  // Known, though they set nothing.
  for (const char* arg : {"--setTrue-", "--setVariable-Abc", "--setVariable-=v", "--setVariable-"})
    EXPECT_TRUE(ApplyArgument(arg, vars, excluded)) << arg;
  DecideRunMode(vars);
  EXPECT_EQ(vars.Count(), before);
  EXPECT_TRUE(excluded.empty());
}

// An unattended run never waits for a person: an option it does not know, or a run
// that would show the wizard, is refused (exit code 87); without --unattended the
// wizard opens as ever.
TEST(Options, AnUnattendedRunThatWouldWaitForAPersonIsRefused) {
  const std::string pages =
      "--unattended: this run would wait for a person on the wizard's pages; give --dir= and \"--I agree to the "
      "terms of the licence\" to install, or --remove-silently to remove";
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--unattended", "--dir=default", "--I agree to the terms of the licence"}, ""},
      {{"--unattended", "--remove-silently"}, ""},
      {{"--dir=default", "/S"}, ""},
      {{"--unattended", "--dir=default"}, pages},
      {{"--unattended", "--remove"}, pages},
      {{"--unattended", "--dir=C:\\T", "--I agree to the terms of the licence", "/VERYSILENT"},
       "/VERYSILENT: no such option (setup.exe --help lists them)"},
  };
  for (const auto& [arguments, refusal] : cases) {
    InstallerVariables vars(testing::NoEnvironment);
    std::vector<std::string> excluded, unknown;
    for (const char* arg : arguments)
      if (!ApplyArgument(arg, vars, excluded)) unknown.push_back(arg);
    DecideRunMode(vars);
    EXPECT_EQ(UnattendedRefusal(vars, unknown).value_or(""), refusal) << arguments.front();
  }
}

// The configuration page's choice from the command line: a list name in any case,
// or the language's own name; an unknown one, or PATH where the product withholds it,
// refused.
TEST(Options, TheConfigurationPagesChoiceFromTheCommandLine) {
  InstallerVariables vars(testing::NoEnvironment);
  ConfigurationChoice choice;
  EXPECT_EQ(ChooseConfigurationFromCommandLine(vars, choice), std::nullopt);
  EXPECT_FALSE(choice.language || choice.add_path);
  const std::pair<const char*, std::uint32_t> names[] = {{"French", 12}, {"deutsch", 7}, {"ENGLISH", 9}};
  for (const auto& [name, code] : names) {
    vars.SetVariable("MessageLanguage", name);
    EXPECT_EQ(ChooseConfigurationFromCommandLine(vars, choice), std::nullopt) << name;
    EXPECT_EQ(choice.language, code) << name;
  }
  EXPECT_FALSE(choice.add_path);
  // Each option changes only what it names: the path alone leaves the language unchosen.
  vars.DeleteVariable("MessageLanguage");
  vars.SetFlag("AddPath", true);
  choice = {};
  EXPECT_EQ(ChooseConfigurationFromCommandLine(vars, choice), std::nullopt);
  EXPECT_TRUE(choice.add_path);
  EXPECT_FALSE(choice.language);
  vars.SetFlag("DontAddPath", true);
  EXPECT_EQ(ChooseConfigurationFromCommandLine(vars, choice),
            "--add-path: this product does not put its folder on PATH");
  vars.SetVariable("MessageLanguage", "Klingon");
  EXPECT_EQ(ChooseConfigurationFromCommandLine(vars, choice),
            "--language=Klingon: no such language; choose German, English or French");
}

TEST(SettleInstallFolderOption, NormalizesFullPathsAndRefusesTheRest) {
  testing::FakeHost host;
  InstallerVariables vars(testing::NoEnvironment);
  Messages messages(host, vars);
  auto settle = [&](const char* given) {
    vars.SetVariable("InstDir", given);
    SettleInstallFolderOption(vars, messages);
    return vars.ValueOf("InstDir");
  };
  EXPECT_EQ(settle("D:/Tools/"), "D:\\Tools");
  EXPECT_EQ(settle("D:\\Tools\\\\"), "D:\\Tools");
  EXPECT_EQ(settle("C:\\"), "C:\\");
  EXPECT_EQ(settle("\\\\server\\share\\x\\"), "\\\\server\\share\\x");
  EXPECT_EQ(settle("DEFAULT"), "DEFAULT");
  for (const char* given : {"", "Tools", "C:Tools", "\\Tools"}) {
    EXPECT_EQ(testing::ExitCodeOf([&] { settle(given); }), 87) << given;  // an option refused
    EXPECT_EQ(host.boxes.back().text,
              std::string("The installation folder given with --dir= must be a full path, such as "
                          "--dir=C:\\Tools\n(given: \"") +
                  given + "\")");
  }
}

}  // namespace
}  // namespace inst
