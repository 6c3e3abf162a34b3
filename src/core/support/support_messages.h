// The texts the support layer shows: the log file and the command line.
#pragma once

namespace inst::msg {

inline constexpr const char* kCantCreateLogFile = "Can't create the log file %s\n%s";
inline constexpr const char* kDirMustBeFullPath =
    "The installation folder given with --dir= must be a full path, such as --dir=C:\\Tools\n(given: \"%s\")";

}  // namespace inst::msg
