#include "core/support/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "core/support/limits.h"

namespace inst {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string& LowerCase(std::string& text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

bool LessIgnoreCase::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
  });
}

std::string FormatTextV(const char* format, va_list args) {
  std::vector<char> buffer(kMaxFormattedLength + 1);
  va_list copy;
  va_copy(copy, args);
#ifdef _WIN32
  // The system's formatter: the C++ library would otherwise link in a second one.
  // It leaves a text that is cut unterminated and answers -1.
  int needed = ::_vsnprintf(buffer.data(), kMaxFormattedLength, format, copy);
  if (needed < 0) needed = static_cast<int>(kMaxFormattedLength) + 1;
#else
  const int needed = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
#endif
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<std::size_t>(needed) > kMaxFormattedLength) {
    std::fputs("buffer overflow in vsnprintf", stderr);
    return std::string(buffer.data(), kMaxFormattedLength);
  }
  return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

std::string WrapText(std::string_view text, std::size_t line_length) {
  std::string out(text);
  std::size_t since_break = 0;
  for (char& c : out) {
    if (c == ' ' && since_break >= line_length) {
      c = '\n';
      since_break = 0;
    } else {
      ++since_break;
    }
  }
  return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '\\') folder.remove_suffix(1);
  if (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  std::string joined(folder);
  joined += '\\';
  joined += name;
  return joined;
}

std::string NormalizeFolder(std::string_view folder) {
  std::string out(folder);
  std::replace(out.begin(), out.end(), '/', '\\');
  while (out.size() > 1 && out.back() == '\\' && !(out.size() == 3 && out[1] == ':')) out.pop_back();
  return out;
}

bool IsFullPath(std::string_view path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     (path[2] == '\\' || path[2] == '/');
  const bool share = path.size() >= 3 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/') &&
                     path[2] != '\\' && path[2] != '/';
  return drive || share;
}

bool IsWithinFolder(std::string_view path, std::string_view folder) {
  const std::string inner = NormalizeFolder(path), outer = NormalizeFolder(folder);
  if (outer.empty() || inner.size() < outer.size() || !StartsWithIgnoreCase(inner, outer)) return false;
  return inner.size() == outer.size() || outer.back() == '\\' || inner[outer.size()] == '\\';
}

std::string_view BaseName(std::string_view path) {
  for (char separator : {'\\', '/', ':'}) {
    const auto at = path.rfind(separator);
    if (at != std::string_view::npos) return path.substr(at + 1);
  }
  return path;
}

std::uint32_t ReadDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<std::uint32_t>(value);
}

std::uint32_t LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
  return negative ? 0u - value : value;
}

std::optional<std::string_view> ParentFolder(std::string_view path) {
  const auto last = path.rfind('\\');
  if (last == std::string_view::npos) return std::nullopt;
  return path.substr(0, last);
}

std::optional<std::string_view> NextToken(std::string_view& rest, std::string_view delimiters) {
  const auto start = rest.find_first_not_of(delimiters);
  if (start == std::string_view::npos) {
    rest = std::string_view();
    return std::nullopt;
  }
  rest.remove_prefix(start);
  const auto end = rest.find_first_of(delimiters);
  std::string_view token = rest.substr(0, end);
  rest = (end == std::string_view::npos) ? std::string_view() : rest.substr(end + 1);
  return token;
}

}  // namespace inst
