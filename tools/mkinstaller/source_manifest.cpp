#include "source_manifest.h"

#include <fstream>
#include <sstream>

#include "core/support/installer_state.h"
#include "core/manifest/manifest_parser.h"
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

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(path.string() + ": cannot read the manifest source");
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

}  // namespace

SourceManifest ReadSourceManifest(const fs::path& source, const fs::path& root) {
  SourceManifest result;
  result.path = source;
  const std::string text = NormaliseLineEnds(ReadText(source));
  std::istringstream split(text);
  for (std::string line; std::getline(split, line);) result.lines.push_back(line);

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
  if (state.lists.feature_list) {
    for (const inst::FeaturePtr& feature : *state.lists.feature_list) {
      for (const inst::FolderRecord& folder : feature->folders) {
        const std::string folder_path = BuilderHooks::ToSlashes(folder.path);
        for (const inst::FileRecord& file : folder.files) {
          PayloadItem item;
          item.file = folder_path.empty() ? root / file.name : root / folder_path / BuilderHooks::ToSlashes(file.name);
          item.shown_name = folder.path.empty() ? file.name : folder.path + "\\" + file.name;
          if (file.size_given) item.size = file.size;
          item.line = file.line;
          item.manifest_name = file.name;
          result.items.push_back(std::move(item));
        }
      }
    }
  }
  return result;
}

std::string RenderManifest(const SourceManifest& source, const std::vector<std::uint32_t>& sizes,
                           const std::string& signature) {
  std::vector<std::string> lines = source.lines;
  for (std::size_t i = 0; i < source.items.size(); ++i) {
    const PayloadItem& item = source.items[i];
    std::string& line = lines.at(static_cast<std::size_t>(item.line - 1));
    line = (item.is_resource ? item.key + "=" + item.manifest_name : item.manifest_name) + "\t" +
           std::to_string(sizes[i]);
  }
  std::string out = signature + "\r\n";
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace mkinstaller
