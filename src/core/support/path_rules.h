// What a name from input may be before the installer, running as administrator,
// writes or deletes by it: one rule for the names a manifest gives, and paths
// resolved as the system resolves them before they are compared with a folder.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace inst {

// Why a relative path from input breaks the rule, or null when it keeps it: plain
// components joined by "\" or "/"; none empty, "." or ".."; no drive, colon or
// leading separator; no character Windows forbids in a name (controls and
// <>:"|?*); no trailing dot or space; no reserved device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, with any extension, in any case). The reason completes
// "the name X ...".
const char* NameRefusal(std::string_view path);
// The same for a name that must be one plain component (a file of a folder line).
const char* FileNameRefusal(std::string_view name);
// True when a relative path could reach outside the folder it is joined to: empty,
// rooted, with a drive, or with a ".." component or one of only dots and spaces.
bool LeadsOutside(std::string_view path);

// A full path ("C:\..." or "\\server\share\...") as the system resolves it: "/" read
// as "\", repeated separators as one, "." dropped, ".." taking its parent away. None
// when ".." would climb above the root, a component is only dots and spaces (which
// the system may read as another folder), or the path is not a full one.
std::optional<std::string> ResolvePath(std::string_view path);

// True when `path`, resolved, is `folder` or lies below it with every component
// below it keeping the name rule.
bool LiesInside(std::string_view path, std::string_view folder);

}  // namespace inst
