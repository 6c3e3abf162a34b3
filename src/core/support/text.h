// Text helpers shared by the installer and the builder. Texts are byte strings in
// the Windows ANSI code page; "ignoring case" means ASCII letters only.
#pragma once
#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>

namespace inst {

char AsciiLower(char c);
char AsciiUpper(char c);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
// Lower-cases the ASCII letters of the text in place and returns it.
std::string& LowerCase(std::string& text);

// Strict weak order ignoring case, for maps keyed by the system's names.
struct LessIgnoreCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// printf-style formatting cut at kMaxFormattedLength characters. When the text is
// cut, "buffer overflow in vsnprintf" is written to standard error.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);

// Replaces a space by a line feed wherever at least `line_length` characters have
// passed since the last break.
std::string WrapText(std::string_view text, std::size_t line_length);

// Folder, one backslash, name (one trailing backslash of the folder, as after a
// drive, and one leading backslash of the name are dropped); the name alone when
// there is no folder. Every path the installer forms is joined here.
std::string JoinPath(std::string_view folder, std::string_view name);

// A folder as the installer keeps it: "\" separators and no trailing one, except
// after a drive ("C:\").
std::string NormalizeFolder(std::string_view folder);
// True for a path from a drive's root ("C:\...") or a network share ("\\server\...").
bool IsFullPath(std::string_view path);
// True when `path` is `folder` or lies below it (ignoring case; both normalized).
bool IsWithinFolder(std::string_view path, std::string_view folder);

// Numbers as the runtime reads them, at the start of a text after blanks, 0 when no
// digit comes first. A size or count: digits only, held at 4294967295 when larger.
std::uint32_t ReadDecimal(std::string_view text);
// A version part or build number: a sign accepted, wrapping as the runtime's does.
std::uint32_t LeadingNumber(std::string_view text);

// The part of a path behind its last "\" (else "/", else ":"), or the whole path.
std::string_view BaseName(std::string_view path);
// The part of a path before its last "\"; no result when it holds none.
std::optional<std::string_view> ParentFolder(std::string_view path);

// Re-entrant tokenizer over a view: skips leading delimiters, returns the next token
// and leaves `rest` just behind the delimiter that ended it. No result when only
// delimiters remain.
std::optional<std::string_view> NextToken(std::string_view& rest, std::string_view delimiters);

}  // namespace inst
