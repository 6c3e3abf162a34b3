// The texts the support layer shows: the log file and the command line.
#pragma once

namespace inst::msg {

inline constexpr const char* kCantCreateLogFile = "Can't create the log file %s\n%s";
// An unattended run that could only wait for a person.
inline constexpr const char* kUnknownOption = "%s: no such option (setup.exe --help lists them)";
inline constexpr const char* kUnattendedNeedsAPerson =
    "--unattended: this run would wait for a person on the wizard's pages; give --dir= and \"--I agree to the terms "
    "of the licence\" to install, or --remove-silently to remove";
// The options list that --help and /? show.
inline constexpr const char* kHelpText =
    "Usage: setup.exe [option]...\n\n"
    "--dir=FOLDER\tinstall into FOLDER; without the wizard with the licence option\n"
    "\"--I agree to the terms of the licence\"\taccept the licence\n"
    "--remove\tremove the installation\n"
    "--remove-silently\tremove it without a window\n"
    "--no-NAME\tleave out the component NAME\n"
    "--setTrue-NAME\tset the variable NAME to yes\n"
    "--setVariable-NAME=VALUE\tset the variable NAME\n"
    "--subinstall\tend when another installer's wizard is open\n"
    "--language=NAME\tthe language of the product's messages: German, English or French\n"
    "--add-path\tput the product's bin folder on PATH\n"
    "--ui-language=CODE\tthe wizard's language: en, de, fr, or one the product carries\n"
    "--unattended\tshow no box: its text goes to standard error and the log, a question is answered No\n"
    "--log=FILE\twrite what the run does to FILE\n"
    "--help, /?\tshow this list\n\n"
    "Exit codes: 0 done, 1 failed, 87 an option refused, 112 not enough disk space, 1602 cancelled,\n"
    "1618 another installation in progress, 1638 this version installed in another folder.\n";
// An argument longer than the command line's reader takes.
inline constexpr const char* kErrorNumber = "Error %d";
inline constexpr const char* kDirMustBeFullPath =
    "The installation folder given with --dir= must be a full path, such as --dir=C:\\Tools\n(given: \"%s\")";

}  // namespace inst::msg
