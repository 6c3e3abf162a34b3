// A manifest source: the manifest format without the signature line, whose sizes
// may be left out. Reading it checks it with the installer's own parser; the
// result knows every resource and product file in payload order.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mkinstaller {

struct PayloadItem {
  std::filesystem::path file;         // where the bytes come from
  std::filesystem::path base;         // the folder it must lie in, links resolved
  std::string shown_name;             // as the manifest names it, for messages
  std::optional<std::uint32_t> size;  // as the source gives it
  int line = 0;                       // source line
  bool is_resource = false;
  std::string key;            // resources only
  std::string manifest_name;  // resources: FILE; files: NAME
};

struct SourceManifest {
  std::filesystem::path path;
  std::vector<std::string> lines;  // the source's lines, line endings removed
  std::vector<PayloadItem> items;  // resources first, then files, in payload order
  std::size_t components = 0;
};

// Parses the source; product files are looked up under `root` at their folder path.
// Throws ToolError naming the line at fault.
SourceManifest ReadSourceManifest(const std::filesystem::path& source, const std::filesystem::path& root);

// The manifest text for the payload: the signature line, then the source with
// every resource and file line carrying its real size.
std::string RenderManifest(const SourceManifest& source, const std::vector<std::uint32_t>& sizes,
                           const std::string& signature);

// The file's SHA-256 as the manifest writes it (lower-case hex).
std::string FileSha256(const std::filesystem::path& file);

}  // namespace mkinstaller
