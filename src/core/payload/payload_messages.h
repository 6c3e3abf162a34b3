// The texts the payload layer shows: reading the installer's own file.
#pragma once

namespace inst::msg {

inline constexpr const char* kSeekOnSetup = "Seek on setup";
inline constexpr const char* kCantReadEntireFilecheck = "Can't read entire filecheck: %ld";
inline constexpr const char* kCantReadFilecheck = "Can't read filecheck: %d";

}  // namespace inst::msg
