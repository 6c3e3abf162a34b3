// Limits that the installer's observable behaviour depends on. They are kept as
// named constants; the code itself uses growable strings, so no input can overflow.
#pragma once
#include <cstddef>

namespace inst {

// Longest command-line argument; a longer one ends the run with error 917.
inline constexpr std::size_t kMaxArgumentLength = 255;
inline constexpr int kArgumentTooLongError = 917;

// Bracket expansion produces at most this many characters.
inline constexpr std::size_t kMaxExpansionLength = 8191;
// A variable name longer than this inside [...] is dropped without lookup.
inline constexpr std::size_t kMaxReferenceNameLength = 254;

// Formatted texts (messages, paths) are cut at this many characters.
inline constexpr std::size_t kMaxFormattedLength = 4095;

// VersionBase copies at most this many characters of Version.
inline constexpr std::size_t kMaxVersionBaseLength = 255;

}  // namespace inst
