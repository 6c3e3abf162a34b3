// The manifest parser, the selection and space pass of the installation run, and
// the installed manifest's round trip. The oracles: every name a manifest that parses
// gives the installer to write keeps the name rule; and a manifest that parses, with a
// version (the builder refuses one without), gives an installed manifest that the
// installed copy reads back to the same keys.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/install/installation_run.h"
#include "core/install/product_registration.h"
#include "core/install/installed_manifest.h"
#include "core/support/path_rules.h"
#include "core/support/text.h"
#include "core/manifest/manifest_parser.h"
#include "fake_host.h"
#include "memory_file_system.h"
#include "memory_registry.h"

namespace {

using namespace inst;

struct NoProgress final : Progress {
  void ReportProgress(int, const char*) override {}
};

void AbortUnlessKept(const char* what, const std::string& name, const char* refusal) {
  if (!refusal) return;
  std::fprintf(stderr, "the parser accepted the %s \"%s\", which %s\n", what, name.c_str(), refusal);
  std::abort();
}

// Folders, files, resources and shortcuts: the names joined to the installation's folders.
void CheckNamesKeepTheRule(const ManifestLists& lists) {
  if (lists.feature_list) {
    for (const FeaturePtr& feature : *lists.feature_list) {
      for (const FolderRecord& folder : feature->folders) {
        if (!folder.path.empty()) AbortUnlessKept("folder", folder.path, NameRefusal(folder.path));
        for (const FileRecord& file : folder.files) AbortUnlessKept("file", file.name, FileNameRefusal(file.name));
      }
    }
  }
  for (const ResourceRecord& resource : lists.resource_list)
    AbortUnlessKept("resource", resource.name, FileNameRefusal(resource.name));
  if (lists.shortcut_list)
    for (const ShortcutRecord& shortcut : *lists.shortcut_list)
      AbortUnlessKept("shortcut", shortcut.name, FileNameRefusal(shortcut.name));
}

std::string KeysOf(ProductRegistration& product, const InstallerVariables& variables) {
  return product.PatchLevelKey() + " | " + product.UninstallKey() + " | " + variables.ValueOf("FullVersion");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  testing::RunFixture installed;
  PlainManifestHooks hooks;
  testing::MemoryRegistry registry;
  testing::MemoryFileSystem files;
  NoProgress progress;
  installed.state.variables.SetVariable("InstDir", "C:\\P");
  std::string written;
  std::string keys;  // the product key, the uninstall entry and the version the installation names
  try {
    ManifestParser(text, installed.state, installed.messages, hooks).ParseManifest();
    CheckNamesKeepTheRule(installed.state.lists);
    // What the builder refuses: no version, or a resource key that is also a variable.
    const auto& names = installed.state.lists.variable_names;
    if (std::none_of(names.begin(), names.end(),
                     [](const std::string& name) { return EqualsIgnoreCase(name, "Version"); })) {
      return 0;
    }
    for (const ResourceRecord& resource : installed.state.lists.resource_list) {
      for (const std::string& name : installed.state.lists.variable_names)
        if (resource.key && EqualsIgnoreCase(*resource.key, name)) return 0;
    }
    FileExtractor extractor(installed.state, files, installed.messages, progress);
    InstallationRun run(installed.state, registry, files, installed.messages, extractor, progress);
    run.ProbeFeaturesAndComponents();
    run.RequiredSpaceKB();
    ProductRegistration product(installed.state, registry, files, installed.messages,
                                [] { return std::string("20261207"); });
    keys = KeysOf(product, installed.state.variables);
    auto& lists = installed.state.lists;
    ForEachFileRecord(lists, [&](const FolderRecord& folder, const FileRecord& file) {
      lists.installed_files.push_back("C:\\P\\" + folder.path + "\\" + file.name);
    });
    written = InstalledManifestText(installed.state, "SIG", "C:\\P\\resources\\manifest");
  } catch (const testing::ProcessEnded&) {
    return 0;  // refused with a message: what the installer does with a bad manifest
  }

  testing::RunFixture copy;
  copy.state.variables.SetVariable("InstDir", "C:\\P");
  copy.state.running_installed_copy = true;
  try {
    ManifestParser(std::string_view(written).substr(5), copy.state, copy.messages, hooks).ParseManifest();
    ProductRegistration product(copy.state, registry, files, copy.messages, [] { return std::string("20261207"); });
    if (KeysOf(product, copy.state.variables) != keys) {
      std::fprintf(stderr, "the installed copy finds %s, not %s\n--\n%s\n",
                   KeysOf(product, copy.state.variables).c_str(), keys.c_str(), written.c_str());
      std::abort();
    }
  } catch (const testing::ProcessEnded&) {
    // The installed copy could neither repair nor remove this installation.
    std::fprintf(stderr, "installed copy refused its manifest: %s\n--\n%s\n", copy.host.boxes.back().text.c_str(),
                 written.c_str());
    std::abort();
  }
  return 0;
}
