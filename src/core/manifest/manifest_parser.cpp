#include "core/manifest/manifest_parser.h"

#include <algorithm>

#include "core/manifest/entry_grammars.h"
#include "core/manifest/manifest_messages.h"
#include "core/support/limits.h"
#include "core/support/path_rules.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

bool EndsWithSlash(std::string_view line) { return !line.empty() && (line.back() == '/' || line.back() == '\\'); }

bool BeginsWithYes(std::string_view value) { return StartsWithIgnoreCase(value, "yes"); }

// The text before the first of `delimiters`; `rest` moves behind that delimiter.
// No result when the text is empty (nothing before the delimiter, or nothing left).
std::optional<std::string_view> NextPiece(std::string_view& rest, std::string_view delimiters) {
  const auto end = rest.find_first_of(delimiters);
  const std::string_view piece = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  if (piece.empty()) return std::nullopt;
  return piece;
}

}  // namespace

std::optional<std::string_view> MatchPrefix(std::string_view text, std::string_view prefix) {
  if (!StartsWithIgnoreCase(text, prefix)) return std::nullopt;
  return text.substr(prefix.size());
}

std::string ExpandInstDir(std::string_view text, const InstallerVariables& variables) {
  constexpr std::string_view kToken = "%InstDir%";
  const std::string* folder = variables.GetVariable(var::kInstDir);
  if (folder == nullptr) return std::string(text);
  std::string out;
  std::size_t i = 0;
  while (i < text.size() && out.size() < kMaxExpansionLength) {
    if (StartsWithIgnoreCase(text.substr(i), kToken)) {
      out += *folder;
      i += kToken.size();
    } else {
      out += text[i++];
    }
  }
  if (out.size() > kMaxExpansionLength) out.resize(kMaxExpansionLength);
  return out;
}

FeaturePtr FindFeature(const ManifestLists& lists, std::string_view name, Messages& messages) {
  if (!lists.feature_list) messages.FatalError(msg::kNoFeatureList);
  for (const FeaturePtr& feature : *lists.feature_list)
    if (EqualsIgnoreCase(feature->name, name)) return feature;
  messages.FatalError(msg::kFeatureNotInManifest, std::string(name).c_str());
}

ComponentPtr FindComponent(const ManifestLists& lists, std::string_view name, Messages& messages) {
  if (!lists.component_list) messages.FatalError(msg::kNoComponentList);
  for (const ComponentPtr& component : *lists.component_list)
    if (EqualsIgnoreCase(component->name, name)) return component;
  messages.FatalError(msg::kComponentNotInManifest, std::string(name).c_str());
}

bool IsExcluded(const std::vector<std::string>& exclude_list, std::string_view name) {
  return std::any_of(exclude_list.begin(), exclude_list.end(),
                     [name](const std::string& excluded) { return EqualsIgnoreCase(excluded, name); });
}

ManifestParser::ManifestParser(std::string_view text, ManifestState& state, Messages& messages, ManifestHooks& hooks,
                               ManifestParserOptions options)
    : text_(text),
      next_line_(options.first_line),
      state_(state),
      messages_(messages),
      hooks_(hooks),
      options_(options) {}

std::optional<std::string> ManifestParser::ReadManifestLine() {
  if (pushed_back_) {
    auto [line, number] = std::move(*pushed_back_);
    pushed_back_.reset();
    line_number_ = number;
    return line;
  }
  for (;;) {
    // Pieces are separated by runs of carriage returns and line feeds.
    const std::size_t start = text_.find_first_not_of("\r\n", position_);
    const std::string_view separators = text_.substr(position_, std::min(start, text_.size()) - position_);
    const auto feeds = std::count(separators.begin(), separators.end(), '\n');
    next_line_ += static_cast<int>(feeds > 0 ? feeds : std::count(separators.begin(), separators.end(), '\r'));
    if (start == std::string_view::npos) {
      position_ = text_.size();
      return std::nullopt;
    }
    const std::size_t end = std::min(text_.find_first_of("\r\n", start), text_.size());
    std::string_view piece = text_.substr(start, end - start);
    position_ = end;
    line_number_ = next_line_;

    const auto first = piece.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos || piece[first] == ';') continue;
    piece.remove_prefix(first);
    piece = piece.substr(0, piece.find_last_not_of(kWhiteSpace) + 1);
    return ExpandInstDir(piece, state_.variables);
  }
}

void ManifestParser::PushBackLine(std::string line) { pushed_back_.emplace(std::move(line), line_number_); }

std::optional<std::string> ManifestParser::ReadSectionLine() {
  std::optional<std::string> line = ReadManifestLine();
  if (line && line->front() == '[') {
    PushBackLine(std::move(*line));
    return std::nullopt;
  }
  return line;
}

void ManifestParser::ParseManifest() {
  // A text with a zero byte is damaged: every name and key built from it would be
  // cut short at that byte, differently in each place.
  if (text_.find('\0') != std::string_view::npos) messages_.FatalError(msg::kInvalidManifestFormat);
  for (;;) {
    const std::optional<std::string> line = ReadManifestLine();
    if (!line || line->front() != '[') messages_.FatalError(msg::kInvalidManifestFormat);
    std::string_view rest = *line;
    const std::string name(NextToken(rest, "[]").value_or(std::string_view()));
    if (EqualsIgnoreCase(name, "Run")) return RefuseUnknownExclusions();
    if (EqualsIgnoreCase(name, "Resources"))
      ParseResources();
    else if (EqualsIgnoreCase(name, "Variables"))
      ParseVariables();
    else if (EqualsIgnoreCase(name, "Shortcuts"))
      ParseShortcuts();
    else if (EqualsIgnoreCase(name, "Features"))
      ParseFeatures();
    else if (EqualsIgnoreCase(name, "Components"))
      ParseComponents();
    else if (EqualsIgnoreCase(name, "Folders"))
      ParseRecordedPaths(state_.lists.installed_folders);
    else if (EqualsIgnoreCase(name, "Files"))
      ParseRecordedPaths(state_.lists.installed_files);
    else if (EqualsIgnoreCase(name, "Registry"))
      ParseRegistry();
    else
      messages_.FatalError(msg::kUnknownManifestLine, name.c_str());
  }
}

void ManifestParser::ParseResources() {
  while (const std::optional<std::string> line = ReadSectionLine()) {
    std::string_view rest = *line;
    const auto key = NextPiece(rest, "=");
    const auto file = NextPiece(rest, "\t=");
    const auto size = NextPiece(rest, "\t");
    if (!key || !file || (!size && options_.require_resource_sizes)) messages_.FatalError(msg::kBadResourcesLine);
    const std::string key_text(*key), file_text(*file);
    CheckName(file_text, FileNameRefusal(file_text));
    const std::string path = JoinPath(state_.variables.ValueOf(var::kTmpDir), file_text);
    const std::optional<std::uint32_t> bytes = size ? std::optional(ReadDecimal(*size)) : std::nullopt;
    // Listed for deletion before it is written, so a failed extraction leaves nothing behind.
    state_.temp_list.push_back(path);
    hooks_.OnResource(key_text, file_text, path, bytes, line_number_);
    state_.lists.resource_list.push_back({file_text, path, key_text, bytes.value_or(0)});
    state_.variables.SetVariable(key_text, path);
  }
  // The extraction recorded the temporary copies; they are not part of the installation.
  state_.lists.installed_files.clear();
}

void ManifestParser::ParseVariables() {
  while (const std::optional<std::string> line = ReadSectionLine()) {
    std::string_view rest = *line;
    const auto name = NextPiece(rest, "=");
    if (!name) messages_.FatalError(msg::kBadVariablesLine);
    auto value = NextPiece(rest, "=");
    // A value cut short at a second "=" loses its trailing blanks as a line does:
    // the installed manifest writes it as a line of its own, read back the same.
    if (value) value = value->substr(0, value->find_last_not_of(kWhiteSpace) + 1);
    const std::string expanded = value ? hooks_.ExpandEnvironment(std::string(*value)) : std::string();
    state_.variables.SetVariable(*name, expanded);
    state_.lists.variable_names.emplace_back(*name);
  }
  hooks_.OnVariablesEnd();
}

void ManifestParser::ParseInstaller(FeatureRecord& feature, std::string_view rest) {
  const auto tab = rest.rfind('\t');
  if (tab != std::string_view::npos) {
    feature.installer_size = ReadDecimal(rest.substr(tab + 1));
    rest = rest.substr(0, tab);
  }
  InstallerRecord installer;
  installer.source = std::string(rest);
  std::string last_source = installer.source;
  while (std::optional<std::string> line = ReadManifestLine()) {
    if (auto alternate = MatchPrefix(*line, "Alternate=")) {
      last_source = installer.alternates.emplace_back(*alternate);
    } else if (auto digest = MatchPrefix(*line, "SHA256=")) {
      installer.sha256.emplace_back(last_source, *digest);
    } else if (auto arguments = MatchPrefix(*line, "Arguments=")) {
      installer.arguments = std::string(*arguments);
    } else {
      PushBackLine(std::move(*line));
      break;
    }
  }
  feature.installers.push_back(std::move(installer));
}

namespace {

// A feature's description defaults to its name; the features it requires are found by name.
void ResolveFeatureDefaults(const std::vector<FeaturePtr>& features) {
  for (const FeaturePtr& feature : features) {
    if (feature->description.empty()) feature->description = feature->name;
    for (const std::string& name : feature->required_names) {
      for (const FeaturePtr& other : features)
        if (EqualsIgnoreCase(other->name, name)) feature->requires_features.push_back(other.get());
    }
  }
}

}  // namespace

void ManifestParser::ParseFeatures() {
  auto& features = state_.lists.feature_list.emplace();
  FeaturePtr current;
  // The folder files are added to: the last folder line's, in whichever feature.
  FeaturePtr folder_owner;
  std::size_t folder_index = 0;

  auto need_feature = [&](const char* message) -> FeatureRecord& { return Current(current, message); };

  while (const std::optional<std::string> line = ReadSectionLine()) {
    const std::string_view text = *line;
    if (auto name = MatchPrefix(text, "Feature=")) {
      current = std::make_shared<FeatureRecord>();
      current->name = std::string(*name);
      features.push_back(current);
    } else if (auto inf = MatchPrefix(text, "DriverInf=")) {
      need_feature("missing feature name before DriverInf").driver_inf = std::string(*inf);
    } else if (auto device = MatchPrefix(text, "DriverDevice=")) {
      need_feature("missing feature name before DriverDevice").driver_device = std::string(*device);
    } else if (auto class_key = MatchPrefix(text, "HKCR=")) {
      need_feature("missing feature name before HKCR").class_key = std::string(*class_key);
    } else if (auto key = MatchPrefix(text, "Regkey=")) {
      need_feature("missing feature name before Regkey").registry_key = std::string(*key);
    } else if (auto description = MatchPrefix(text, "Description=")) {
      need_feature("Description with no feature name").description = std::string(*description);
    } else if (auto message = MatchPrefix(text, "Errmess=")) {
      need_feature("missing feature name before Errmess").error_message = WrapText(*message, 60);
    } else if (auto required = MatchPrefix(text, "Requires=")) {
      need_feature("missing feature name before Requires").required_names.emplace_back(*required);
    } else if (auto min_version = MatchPrefix(text, "Minversion=")) {
      need_feature("missing feature name before Minversion").min_version = std::string(*min_version);
    } else if (auto max_version = MatchPrefix(text, "Maxversion=")) {
      need_feature("missing feature name before Maxversion").max_version = std::string(*max_version);
    } else if (auto source = MatchPrefix(text, "Installer=")) {
      ParseInstaller(need_feature("missing feature name before Installer"), *source);
    } else if (EndsWithSlash(text)) {
      FeatureRecord& feature = need_feature("missing feature name before folder");
      std::string path(text);
      std::replace(path.begin(), path.end(), '/', '\\');
      while (!path.empty() && path.back() == '\\') path.pop_back();
      // An empty path stands for the installation folder itself.
      if (!path.empty()) CheckName(path, NameRefusal(path));
      feature.folders.push_back({std::move(path), {}});
      folder_owner = current;
      folder_index = feature.folders.size() - 1;
    } else {
      if (!folder_owner) messages_.FatalError(msg::kFileWithoutFolder);
      folder_owner->folders[folder_index].files.push_back(ParseFileLine(text));
    }
  }
  ResolveFeatureDefaults(features);
}

FileRecord ManifestParser::ParseFileLine(std::string_view text) {
  FileRecord file;
  const auto tab = text.find('\t');
  file.name = std::string(text.substr(0, tab));
  CheckName(file.name, FileNameRefusal(file.name));
  if (tab != std::string_view::npos) {
    file.size = ReadDecimal(text.substr(tab + 1));
    file.size_given = true;
  }
  file.line = line_number_;
  return file;
}

void ManifestParser::ParseComponents() {
  auto& components = state_.lists.component_list.emplace();
  ComponentPtr current;
  auto need_component = [&](const char* message) -> ComponentRecord& { return Current(current, message); };

  while (const std::optional<std::string> line = ReadSectionLine()) {
    const std::string_view text = *line;
    if (auto name = MatchPrefix(text, "Component=")) {
      current = std::make_shared<ComponentRecord>();
      current->name = std::string(*name);
      component_names_.push_back(current->name);
      // An excluded component is still read, into a record no list holds.
      if (!IsExcluded(state_.exclude_list, current->name)) {
        current->selected = true;
        components.push_back(current);
      }
    } else if (auto description = MatchPrefix(text, "Description=")) {
      need_component("Description with no component name").description = std::string(*description);
    } else if (auto alternate = MatchPrefix(text, "Alternate=")) {
      need_component("Alternate with no component name").alternates.emplace_back(*alternate);
    } else if (auto selected = MatchPrefix(text, "Selected=")) {
      need_component("Selected with no component name").selected = BeginsWithYes(*selected);
    } else if (auto required = MatchPrefix(text, "Required=")) {
      ComponentRecord& component = need_component("Required with no component name");
      component.required = BeginsWithYes(*required);
      if (component.required) component.selected = true;
      if (component.required && IsExcluded(state_.exclude_list, component.name))
        messages_.FatalExit(kExitBadOption, msg::kRequiredComponentLeftOut, component.name.c_str());
    } else if (auto java = MatchPrefix(text, "Java=")) {
      need_component("Java with no component name").java = BeginsWithYes(*java);
    } else {
      ComponentRecord& component = need_component("feature in un-named component");
      component.features.push_back(FindFeature(state_.lists, text, messages_));
    }
  }
}

void ManifestParser::ParseRegistry() {
  while (const std::optional<std::string> line = ReadSectionLine()) {
    AddRegistryEntry(state_.lists, *line, messages_);
  }
}

void ManifestParser::ParseShortcuts() {
  while (const std::optional<std::string> line = ReadSectionLine()) {
    std::string_view rest = *line;
    const auto name = NextPiece(rest, "=");
    const auto value = NextPiece(rest, "=");
    // A shortcut to nothing (its target blank) is as bad as one without a target: the
    // installed manifest could not even record it.
    if (!name || !value || ParseShortcut(*name, *value).target.find_first_not_of(kWhiteSpace) == std::string::npos)
      messages_.FatalError(msg::kBadShortcutsLine);
    CheckName(*name, FileNameRefusal(*name));
    AddShortcut(state_.lists, *name, *value);
  }
}

// "--no-" names a component of the product, or "tessara" (the option every product knows).
void ManifestParser::RefuseUnknownExclusions() {
  if (!state_.lists.component_list) return;
  for (const std::string& name : state_.exclude_list) {
    if (EqualsIgnoreCase(name, "TESSARA") || IsExcluded(component_names_, name)) continue;
    std::string names;
    for (const std::string& component : component_names_) names += (names.empty() ? "" : ", ") + component;
    messages_.FatalExit(kExitBadOption, msg::kUnknownComponent, name.c_str(), names.c_str());
  }
}

void ManifestParser::CheckName(std::string_view name, const char* refusal) {
  if (refusal) messages_.FatalError(msg::kInvalidManifestName, line_number_, std::string(name).c_str(), refusal);
}

void ManifestParser::ParseRecordedPaths(std::vector<std::string>& list) {
  while (std::optional<std::string> line = ReadSectionLine()) list.push_back(std::move(*line));
}

}  // namespace inst
