#include "source_manifest.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "core/install/confinement.h"
#include "core/install/installer_state.h"
#include "core/install/sha256.h"
#include "core/manifest/entry_grammars.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/text.h"
#include "core/wizard/ui_texts.h"
#include "tool_error.h"

namespace mkinstaller {

namespace fs = std::filesystem;

namespace {

class BuilderHooks final : public inst::ManifestHooks {
 public:
  explicit BuilderHooks(const fs::path& folder) : folder_(folder) {}
  void OnResource(const std::string& key, const std::string& file, const std::string&,
                  std::optional<std::uint32_t> size, int line) override {
    PayloadItem item;
    item.file = folder_ / ToSlashes(file);
    item.base = folder_;
    item.shown_name = file;
    item.size = size;
    item.line = line;
    item.is_resource = true;
    item.key = key;
    item.manifest_name = file;
    resources.push_back(std::move(item));
  }
  // Environment references belong to the machine the product is installed on.
  std::string ExpandEnvironment(const std::string& value) override { return value; }
  void OnVariablesEnd() override {}

  static std::string ToSlashes(std::string text) {
    for (char& c : text)
      if (c == '\\') c = '/';
    return text;
  }

  std::vector<PayloadItem> resources;

 private:
  fs::path folder_;
};

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return false;
    at += length;
  }
  return true;
}

std::string ReadText(const fs::path& path, const char* what = "the manifest source") {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(path.string() + ": cannot read " + what);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One line ending throughout, so that the parser's line numbers are the source's.
std::string NormaliseLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The installer shows and writes every text in the Windows ANSI code page: UTF-8
// would arrive as "CafÃ©". A byte-order mark would make the first line unreadable.
void RefuseUtf8(const fs::path& source, const std::vector<std::string>& lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string where = source.string() + ":" + std::to_string(i + 1) + ": ";
    if (i == 0 && line.rfind("\xEF\xBB\xBF", 0) == 0) {
      throw ToolError(where +
                      "the file starts with a UTF-8 byte-order mark; save it without one, in the Windows "
                      "ANSI code page");
    }
    for (std::size_t at = 0; at + 1 < line.size(); ++at) {
      const auto lead = static_cast<unsigned char>(line[at]), next = static_cast<unsigned char>(line[at + 1]);
      if (lead >= 0xC2 && lead <= 0xF4 && (next & 0xC0) == 0x80) {
        throw ToolError(where +
                        "UTF-8 text; the installer shows and creates names in the Windows ANSI code page: "
                        "save the manifest in that code page (and name the files the same way)");
      }
    }
  }
}

// A [Variables] value ends at its first "=" when the installer reads it.
void RefuseEqualsInValues(const fs::path& source, const std::vector<std::string>& lines) {
  bool in_variables = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '[') in_variables = inst::EqualsIgnoreCase(line, "[Variables]");
    if (!in_variables || line.empty() || line[0] == ';') continue;
    const auto equals = line.find('=');
    if (equals != std::string::npos && line.find('=', equals + 1) != std::string::npos) {
      throw ToolError(source.string() + ":" + std::to_string(i + 1) +
                      ": the value holds \"=\"; the installer keeps "
                      "only the text before it (move such a text, a web address with a query say, to a file)");
    }
  }
}

// Names the line of the first Requires= that closes a loop between features.
void RefuseRequiresLoops(const fs::path& source, const std::vector<std::string>& lines,
                         const inst::ManifestLists& lists) {
  if (!lists.feature_list) return;
  auto find = [&](const std::string& name) -> const inst::FeatureRecord* {
    for (const inst::FeaturePtr& feature : *lists.feature_list)
      if (inst::EqualsIgnoreCase(feature->name, name)) return feature.get();
    return nullptr;
  };
  // Depth-first, keeping the path walked; a name met again on it closes a loop.
  std::vector<const inst::FeatureRecord*> path;
  std::function<bool(const inst::FeatureRecord*)> walk = [&](const inst::FeatureRecord* feature) {
    if (std::find(path.begin(), path.end(), feature) != path.end()) {
      path.push_back(feature);
      return true;
    }
    path.push_back(feature);
    for (const std::string& name : feature->required_names) {
      if (const inst::FeatureRecord* required = find(name); required && walk(required)) return true;
    }
    path.pop_back();
    return false;
  };
  for (const inst::FeaturePtr& feature : *lists.feature_list) {
    path.clear();
    if (!walk(feature.get())) continue;
    std::string loop;
    for (std::size_t i = 0; i < path.size(); ++i) loop += (i ? " -> " : "") + path[i]->name;
    // The line of the loop's first Requires=.
    std::string current;
    std::size_t line_number = 0;
    for (std::size_t i = 0; i < lines.size() && line_number == 0; ++i) {
      if (inst::StartsWithIgnoreCase(lines[i], "Feature=")) current = lines[i].substr(8);
      if (inst::StartsWithIgnoreCase(lines[i], "Requires=") && inst::EqualsIgnoreCase(current, path[0]->name)) {
        line_number = i + 1;
      }
    }
    throw ToolError(source.string() + ":" + std::to_string(line_number) + ": Requires= loop: " + loop +
                    "; the installer could never install these features");
  }
}

// The installer reads a manifest up to its [Run] line; without one it only says
// "Invalid manifest format".
void RefuseWithoutRun(const fs::path& source, const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (inst::StartsWithIgnoreCase(line, "[Run]")) return;
  throw ToolError(
      source.string() + (lines.empty() ? ": the manifest is empty" : ": the manifest has no [Run] line") +
      "; a manifest ends with the line [Run], after its sections (see samples/sample-product/manifest.txt)");
}

// Windows' own upper case of a name in the ANSI code page, as its file systems compare them.
std::string FoldCase(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7))
      c = static_cast<char>(byte - 0x20);
  }
  return text;
}

// The installer ends with "no files to copy" without both sections; files whose
// paths differ only in letter case are one file on Windows, the last one written.
void RefuseNothingOrTwiceToInstall(const fs::path& source, const SourceManifest& result,
                                   const inst::InstallerState& state) {
  if (!state.lists.feature_list || !state.lists.component_list) {
    throw ToolError(source.string() +
                    ": nothing to install: the manifest needs a [Features] and a [Components] "
                    "section, or the installer ends with \"no files to copy\"");
  }
  std::map<std::string, const PayloadItem*> seen;
  for (const PayloadItem& item : result.items) {
    if (item.is_resource) continue;
    const auto [at, added] = seen.emplace(FoldCase(item.shown_name), &item);
    if (!added && at->second->shown_name == item.shown_name) {
      throw ToolError(source.string() + ":" + std::to_string(item.line) + ": " + item.shown_name +
                      " is listed twice (line " + std::to_string(at->second->line) + ")");
    }
    if (!added) {
      throw ToolError(source.string() + ":" + std::to_string(item.line) + ": " + item.shown_name + " and " +
                      at->second->shown_name + " (line " + std::to_string(at->second->line) +
                      ") differ only in letter case; on Windows they are one file, and the second would replace "
                      "the first");
    }
  }
}

// A feature, component or resource key named twice, or a folder line twice in one
// feature: the installer would take one for the other.
// Hands each meaningful line of the source (blanks trimmed, comments and section
// lines left out) to `visit` with its section in capitals and its line number.
template <typename Visit>
void ForEachSourceLine(const std::vector<std::string>& lines, Visit visit) {
  std::string section;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
    line = line.substr(0, line.find_last_not_of(" \t\r") + 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[')
      section = FoldCase(std::string(line));
    else
      visit(section, line, i + 1);
  }
}

void RefuseListedTwice(const fs::path& source, const std::vector<std::string>& lines) {
  std::map<std::string, std::size_t> names;  // what is named, in one letter case, and its line
  std::string feature;
  ForEachSourceLine(lines, [&](const std::string& section, std::string_view line, std::size_t number) {
    std::string key;
    if (section == "[RESOURCES]") {
      key = "resource key " + std::string(line.substr(0, line.find('=')));
    } else if (section == "[FEATURES]" && inst::StartsWithIgnoreCase(line, "Feature=")) {
      feature = line.substr(8);
      key = "feature " + feature;
    } else if (section == "[FEATURES]" && (line.back() == '/' || line.back() == '\\')) {
      std::string folder = inst::NormalizeFolder(line);
      key = "folder " + (folder == "\\" ? std::string() : folder) + " of feature " + feature;
    } else if (section == "[COMPONENTS]" && inst::StartsWithIgnoreCase(line, "Component=")) {
      key = "component " + std::string(line.substr(10));
    } else {
      return;
    }
    const auto [at, added] = names.emplace(FoldCase(key), number);
    if (!added) {
      throw ToolError(source.string() + ":" + std::to_string(number) + ": the " + key + " is listed twice (line " +
                      std::to_string(at->second) + ")");
    }
  });
}

// Lines the installer reads without complaint but that cannot work: a registry root
// it does not know (it would write under HKEY_CLASSES_ROOT), a switch that is neither
// yes nor no, a shortcut to a file the product does not have.
void RefuseLinesThatCannotWork(const fs::path& source, const SourceManifest& result) {
  // What a shortcut may point to, in capitals: the installed copy, the resources, the
  // product's files and their folders.
  std::set<std::string> targets = {"RESOURCES\\SETUP.EXE"};
  for (const PayloadItem& item : result.items) {
    std::string target = FoldCase(item.is_resource ? "resources\\" + item.manifest_name : item.shown_name);
    for (auto folder = inst::ParentFolder(target); folder; folder = inst::ParentFolder(*folder))
      targets.emplace(*folder);
    targets.insert(std::move(target));
  }
  ForEachSourceLine(result.lines, [&](const std::string& section, std::string_view line, std::size_t number) {
    const std::string where = source.string() + ":" + std::to_string(number) + ": ";
    if (section == "[REGISTRY]") {
      const std::string root(line.substr(0, line.find('\\')));
      for (const char* known : {"HKLM", "HKCU", "HKCR", "HKCC", "HKPP"})
        if (inst::EqualsIgnoreCase(root, known)) return;
      throw ToolError(where + "unknown registry root \"" + root + "\"; use HKLM, HKCU, HKCR, HKCC or HKPP");
    }
    if (section == "[COMPONENTS]") {
      for (const char* name : {"Required=", "Selected="}) {
        const auto value = inst::MatchPrefix(line, name);
        if (value && !inst::EqualsIgnoreCase(*value, "yes") && !inst::EqualsIgnoreCase(*value, "no"))
          throw ToolError(where + name + std::string(*value) + ": the value is yes or no");
      }
    }
    if (section == "[SHORTCUTS]" && line.find('=') != std::string_view::npos) {
      const auto equals = line.find('=');
      const inst::ShortcutRecord shortcut = inst::ParseShortcut(line.substr(0, equals), line.substr(equals + 1));
      std::string target = shortcut.target;
      if (inst::StartsWithIgnoreCase(target, "%InstDir%\\")) target = target.substr(10);
      if (inst::IsFullPath(target) || targets.count(FoldCase(target))) return;
      throw ToolError(where + "the shortcut " + shortcut.name + " points to " + shortcut.target +
                      ", which is neither a product file nor a resource (resources\\NAME), nor a full path");
    }
  });
}

// A download nobody pinned can be swapped on the way; the build goes on.
void WarnOfUnpinnedDownloads(const fs::path& source, const inst::InstallerState& state) {
  if (!state.lists.feature_list) return;
  for (const inst::FeaturePtr& feature : *state.lists.feature_list) {
    for (const inst::InstallerRecord& installer : feature->installers) {
      std::vector<std::string> sources = installer.alternates;
      sources.insert(sources.begin(), installer.source);
      for (const std::string& where : sources) {
        const bool plain = inst::StartsWithIgnoreCase(where, "http://") || inst::StartsWithIgnoreCase(where, "ftp://");
        if (plain && installer.Sha256Of(where) == nullptr) {
          std::fprintf(stderr,
                       "%s: warning: %s is fetched without a SHA256= line; anyone on the way could hand over "
                       "another program (\"mkinstaller sha256 FILE\" prints the line)\n",
                       source.string().c_str(), where.c_str());
        }
      }
    }
  }
}

// What only the customer's machine would find out.
void RefuseWhatCannotInstall(const fs::path& source, const SourceManifest& result, const inst::InstallerState& state) {
  const auto& names = state.lists.variable_names;
  if (std::none_of(names.begin(), names.end(),
                   [](const std::string& name) { return inst::EqualsIgnoreCase(name, "Version"); })) {
    throw ToolError(source.string() +
                    ": the manifest sets no Version= in [Variables]; every installation would end "
                    "in \"Bad call to SetVariable: FullVersion\"");
  }
  if (state.lists.feature_list) {
    for (const inst::FeaturePtr& feature : *state.lists.feature_list) {
      for (const inst::InstallerRecord& installer : feature->installers) {
        for (const auto& [where, digest] : installer.sha256) {
          if (!inst::IsSha256Text(digest)) {
            throw ToolError(source.string() + ": the SHA256= of " + where + " is not 64 hex digits (\"" + digest +
                            "\"); \"mkinstaller sha256 FILE\" prints the line");
          }
        }
      }
    }
  }
  for (const PayloadItem& item : result.items) {
    if (!item.is_resource) continue;
    // A language of the wizard: every key, and each text with the places of its English one.
    if (inst::StartsWithIgnoreCase(item.key, "UITEXTS_")) {
      const std::string lines = ReadText(item.file, "the language file");
      if (!IsUtf8(lines)) throw ToolError(item.file.string() + ": not UTF-8 text; save the language file as UTF-8");
      if (const auto refusal = inst::CheckUiTexts(lines)) throw ToolError(item.file.string() + ": " + *refusal);
    }
    // The installed copy reads the resource's line after the variables: its key
    // would take the variable's place.
    for (const std::string& name : state.lists.variable_names) {
      if (inst::EqualsIgnoreCase(name, item.key)) {
        throw ToolError(source.string() + ":" + std::to_string(item.line) + ": the resource key " + item.key +
                        " is also a variable in [Variables]; give the resource a name of its own");
      }
    }
  }
  if (const std::optional<std::string> refusal = inst::ProductFolderRefusal(state.variables))
    throw ToolError(source.string() + ": " + *refusal);
}

}  // namespace

SourceManifest ReadSourceManifest(const fs::path& source, const fs::path& root) {
  SourceManifest result;
  result.path = source;
  const std::string text = NormaliseLineEnds(ReadText(source));
  std::istringstream split(text);
  for (std::string line; std::getline(split, line);) result.lines.push_back(line);

  RefuseUtf8(source, result.lines);
  RefuseEqualsInValues(source, result.lines);
  RefuseWithoutRun(source, result.lines);

  ToolContext context;
  inst::InstallerState& state = context.state;
  BuilderHooks hooks(source.parent_path());
  inst::ManifestParserOptions options;
  options.require_resource_sizes = false;
  inst::ManifestParser parser(text, state, context.messages, hooks, options);
  try {
    parser.ParseManifest();
  } catch (const ToolError& error) {
    throw ToolError(source.string() + ":" + std::to_string(parser.line_number()) + ": " + error.what());
  }

  result.items = std::move(hooks.resources);
  inst::ForEachFileRecord(state.lists, [&](const inst::FolderRecord& folder, const inst::FileRecord& file) {
    const std::string folder_path = BuilderHooks::ToSlashes(folder.path);
    PayloadItem item;
    item.file = folder_path.empty() ? root / file.name : root / folder_path / BuilderHooks::ToSlashes(file.name);
    item.base = root;
    item.shown_name = inst::JoinPath(folder.path, file.name);
    if (file.size_given) item.size = file.size;
    item.line = file.line;
    item.manifest_name = file.name;
    result.items.push_back(std::move(item));
  });
  if (state.lists.component_list) result.components = state.lists.component_list->size();
  RefuseWhatCannotInstall(source, result, state);
  RefuseRequiresLoops(source, result.lines, state.lists);
  RefuseNothingOrTwiceToInstall(source, result, state);
  RefuseListedTwice(source, result.lines);
  RefuseLinesThatCannotWork(source, result);
  WarnOfUnpinnedDownloads(source, state);
  return result;
}

std::string FileSha256(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ToolError("cannot read " + file.string());
  auto digest = inst::NewSha256();
  std::vector<char> block(1 << 16);
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    digest->Update(block.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw ToolError("cannot read " + file.string());
  return inst::Sha256Text(digest->Final());
}

std::string RenderManifest(const SourceManifest& source, const std::vector<std::uint32_t>& sizes,
                           const std::string& signature) {
  std::vector<std::string> lines = source.lines;
  for (std::size_t i = 0; i < source.items.size(); ++i) {
    const PayloadItem& item = source.items[i];
    std::string& line = lines.at(static_cast<std::size_t>(item.line - 1));
    line =
        (item.is_resource ? item.key + "=" + item.manifest_name : item.manifest_name) + "\t" + std::to_string(sizes[i]);
  }
  std::string out = signature + "\r\n";
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace mkinstaller
