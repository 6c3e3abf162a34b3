// The texts the support layer shows: the log file and the command line.
#pragma once

namespace inst::msg {

inline constexpr const char* kCantCreateLogFile = "Can't create the log file %s\n%s";
// An unattended run that could only wait for a person.
inline constexpr const char* kUnknownOption = "%s: no such option (setup.exe --help lists them)";
inline constexpr const char* kUnattendedNeedsAPerson =
    "--unattended: this run would wait for a person on the wizard's pages; give --dir= and \"--I agree to the terms "
    "of the licence\" to install, or --remove-silently to remove";
inline constexpr const char* kDirMustBeFullPath =
    "The installation folder given with --dir= must be a full path, such as --dir=C:\\Tools\n(given: \"%s\")";

}  // namespace inst::msg
