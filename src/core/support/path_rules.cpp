#include "core/support/path_rules.h"

#include "core/support/text.h"

namespace inst {

namespace {

constexpr const char* kLeadsOutside = "leads outside its folder";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool OnlyDotsAndSpaces(std::string_view part) {
  return !part.empty() && part.find_first_not_of(". ") == std::string_view::npos;
}

// Hands each component between separators (empty ones too) to `visit`, until it
// gives a reason; returns that reason, or null.
template <typename Visit>
const char* EachComponent(std::string_view path, Visit visit) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (const char* reason = visit(path.substr(start, i - start))) return reason;
    start = i + 1;
  }
  return nullptr;
}

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 (with the code page's superscript 1, 2, 3)
// name devices in every folder, whatever extension follows.
bool IsDeviceName(std::string_view part) {
  std::string_view base = part.substr(0, part.find('.'));
  base = base.substr(0, base.find_last_not_of(' ') + 1);
  for (const char* name : {"CON", "PRN", "AUX", "NUL"})
    if (EqualsIgnoreCase(base, name)) return true;
  if (base.size() != 4 || !(StartsWithIgnoreCase(base, "COM") || StartsWithIgnoreCase(base, "LPT"))) return false;
  const auto digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

const char* ComponentRefusal(std::string_view part) {
  if (part.empty() || part == ".") return "holds an empty or \".\" component";
  for (const char c : part) {
    if (static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
      return "holds a character Windows forbids in a name";
  }
  if (part.back() == '.' || part.back() == ' ') return "ends with a dot or a space";
  if (IsDeviceName(part)) return "is a device name Windows reserves";
  return nullptr;
}

}  // namespace

bool LeadsOutside(std::string_view path) {
  if (path.empty() || IsSeparator(path[0]) || (path.size() > 1 && path[1] == ':')) return true;
  return EachComponent(path, [](std::string_view part) {
           return part != "." && OnlyDotsAndSpaces(part) ? kLeadsOutside : nullptr;
         }) != nullptr;
}

const char* NameRefusal(std::string_view path) {
  return LeadsOutside(path) ? kLeadsOutside : EachComponent(path, ComponentRefusal);
}

const char* FileNameRefusal(std::string_view name) {
  if (!LeadsOutside(name) && name.find_first_of("\\/") != std::string_view::npos)
    return "names a folder; a folder line ends with \"/\" and its files follow it";
  return NameRefusal(name);
}

std::optional<std::string> ResolvePath(std::string_view path) {
  if (!IsFullPath(path)) return std::nullopt;
  const bool drive = path[1] == ':';
  // A drive, or a share's server and name: what ".." cannot take away.
  std::string out(drive ? path.substr(0, 2) : "\\");
  int fixed = drive ? 0 : 2;
  std::size_t root = out.size();
  const char* fault = EachComponent(path.substr(2), [&](std::string_view part) -> const char* {
    if (fixed > 0) {
      // "?" and "." servers are the system's own namespaces.
      if (part.empty() || part.find_first_not_of(".? ") == std::string_view::npos) return kLeadsOutside;
      (out += '\\') += part;
      root = out.size();
      --fixed;
    } else if (part == "..") {
      if (out.size() == root) return kLeadsOutside;
      out.resize(out.rfind('\\'));
    } else if (OnlyDotsAndSpaces(part) && part != ".") {
      return kLeadsOutside;
    } else if (!part.empty() && part != ".") {
      (out += '\\') += part;
    }
    return nullptr;
  });
  if (fault || fixed > 0) return std::nullopt;
  if (out.size() == 2) out += '\\';
  return out;
}

bool LiesInside(std::string_view path, std::string_view folder) {
  const std::optional<std::string> inner = ResolvePath(path), outer = ResolvePath(folder);
  if (!inner || !outer || !IsWithinFolder(*inner, *outer)) return false;
  std::string_view below = std::string_view(*inner).substr(outer->size());
  if (!below.empty() && below.front() == '\\') below.remove_prefix(1);
  return below.empty() || !NameRefusal(below);
}

}  // namespace inst
