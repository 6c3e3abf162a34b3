// The manifest parser: turns the manifest text into variables and record lists.
// The same text format serves the payload manifest and the installed manifest.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/manifest/manifest.h"
#include "core/support/messages.h"

namespace inst {

// What the parser needs from whoever runs it (setup.exe or the builder).
class ManifestHooks {
 public:
  virtual ~ManifestHooks() = default;
  // A [Resources] line: setup.exe extracts the next payload record to `path`.
  // `size` is absent when the line gives none (only the builder allows that).
  virtual void OnResource(const std::string& key, const std::string& file, const std::string& path,
                          std::optional<std::uint32_t> size, int line) = 0;
  // Windows environment references (%NAME%) in a [Variables] value.
  virtual std::string ExpandEnvironment(const std::string& value) = 0;
  // The end of a [Variables] section: the installation defaults are worked out here.
  virtual void OnVariablesEnd() = 0;
};

// Hooks for a manifest read on its own: resources are only listed, environment
// references kept as they stand, nothing set up.
class PlainManifestHooks final : public ManifestHooks {
 public:
  void OnResource(const std::string&, const std::string&, const std::string&, std::optional<std::uint32_t>,
                  int) override {}
  std::string ExpandEnvironment(const std::string& value) override { return value; }
  void OnVariablesEnd() override {}
};

struct ManifestParserOptions {
  // A [Resources] line must carry its size (the builder fills sizes in).
  bool require_resource_sizes = true;
  // Line number of the text's first line, for messages that name a line.
  int first_line = 1;
};

class ManifestParser {
 public:
  ManifestParser(std::string_view text, ManifestState& state, Messages& messages, ManifestHooks& hooks,
                 ManifestParserOptions options = {});

  // Reads sections until [Run]; every error is fatal.
  void ParseManifest();

  // The next meaningful line (comments and blank lines skipped, blanks trimmed,
  // %InstDir% expanded), or none at the end of the text.
  std::optional<std::string> ReadManifestLine();
  // The next ReadManifestLine returns this line again (one line deep).
  void PushBackLine(std::string line);

  // Line number of the line read last.
  int line_number() const { return line_number_; }

 private:
  std::optional<std::string> ReadSectionLine();
  void ParseResources();
  void ParseVariables();
  void ParseFeatures();
  void ParseComponents();
  void ParseRegistry();
  void ParseShortcuts();
  void ParseRecordedPaths(std::vector<std::string>& list);
  void ParseInstaller(FeatureRecord& feature, std::string_view rest);
  // A file line of [Features]: its name, checked, and its size when given.
  FileRecord ParseFileLine(std::string_view text);
  // A name of the line just read that the installer would write: fatal when it breaks the rule.
  void CheckName(std::string_view name, const char* refusal);
  // At the end of a manifest with components: a "--no-" name that is none of them is fatal (87).
  void RefuseUnknownExclusions();
  // The record the section's lines go to; a line before any is fatal with `message`.
  template <typename Record>
  Record& Current(const std::shared_ptr<Record>& current, const char* message) {
    if (!current) messages_.FatalError("%s", message);
    return *current;
  }

  std::string_view text_;
  std::size_t position_ = 0;
  int next_line_ = 1;
  int line_number_ = 0;
  std::optional<std::pair<std::string, int>> pushed_back_;
  ManifestState& state_;
  Messages& messages_;
  ManifestHooks& hooks_;
  ManifestParserOptions options_;
  std::vector<std::string> component_names_;  // every Component= name read
};

// The rest of `text` behind `prefix` (compared ignoring case), or none.
std::optional<std::string_view> MatchPrefix(std::string_view text, std::string_view prefix);

// `text` with each "%InstDir%" (any case) replaced by InstDir's value; unchanged
// when InstDir is unset. At most kMaxExpansionLength characters.
std::string ExpandInstDir(std::string_view text, const InstallerVariables& variables);

// Lookups over the lists; an absent list or name is fatal.
FeaturePtr FindFeature(const ManifestLists& lists, std::string_view name, Messages& messages);
ComponentPtr FindComponent(const ManifestLists& lists, std::string_view name, Messages& messages);
bool IsExcluded(const std::vector<std::string>& exclude_list, std::string_view name);

}  // namespace inst
