#include "core/install/installation_run.h"

#include "core/install/download.h"
#include "core/install/install_messages.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/path_rules.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

constexpr std::size_t kMaxLogLine = 1023;
constexpr std::size_t kMaxPrerequisiteList = 4096;

std::uint64_t RoundUp(std::uint64_t size, std::uint64_t unit) { return (size + unit - 1) / unit * unit; }

// major * 256 + minor of a "major.minor" text, as uninstall entries encode versions.
std::uint32_t VersionValue(const std::string& text) {
  const std::uint32_t major = LeadingNumber(text);
  const auto dot = text.find('.');
  const std::uint32_t minor = dot == std::string::npos ? 0 : LeadingNumber(text.substr(dot + 1));
  return major * 256 + minor;
}

}  // namespace

std::optional<std::string> InstallationRun::LocateInstaller(const InstallerRecord& installer) {
  auto usable = [this](const std::string& source) {
    return IsUrl(source) || state_.variables.GetVariable(source) != nullptr || files_.FileExists(source);
  };
  if (usable(installer.source)) return installer.source;
  for (const std::string& alternate : installer.alternates)
    if (usable(alternate)) return alternate;
  return std::nullopt;
}

bool InstallationRun::ProbeFeature(FeatureRecord& feature) {
  if (feature.installed) return true;
  if (feature.registry_key) {
    const std::string& key = *feature.registry_key;
    RegistryValue location = registry_.RegistryReadString(kHKLM, key, "InstallLocation");
    if (location.ok()) {
      if (!location.text.empty() && location.text.back() == '\\') location.text.pop_back();
      if (files_.IsDirectory(location.text)) {
        const RegistryValue uninstall = registry_.RegistryReadString(kHKLM, key, "UninstallString");
        if (uninstall.ok()) feature.uninstall_command = uninstall.text;
        std::uint32_t version = 0;
        if (registry_.RegistryReadDword(kHKLM, key, "Version", version) != 0) version = 0;
        const std::uint32_t installed_version = version >> 16;
        if (!feature.min_version || installed_version >= VersionValue(*feature.min_version)) {
          feature.installed = true;
        } else if (uninstall.ok()) {
          feature.older_installed = true;
        }
      }
    }
  }
  if (feature.class_key) {
    const RegistryValue value = registry_.RegistryReadString(kHKCR, *feature.class_key, "");
    if (value.ok() && !value.text.empty()) feature.installed = true;
  }
  feature.available = true;
  if (!feature.installed && feature.folders.empty()) {
    if (feature.installers.empty()) {
      feature.available = false;
    } else {
      for (const InstallerRecord& installer : feature.installers) {
        if (!LocateInstaller(installer)) {
          feature.available = false;
          break;
        }
      }
    }
  }
  return feature.installed;
}

void InstallationRun::ProbeFeaturesAndComponents() {
  auto& lists = state_.lists;
  if (!lists.feature_list) return;
  for (const FeaturePtr& feature : *lists.feature_list) ProbeFeature(*feature);
  if (!lists.component_list) return;
  for (const ComponentPtr& component : *lists.component_list) {
    component->available = true;
    component->installed = true;
    for (const FeaturePtr& feature : component->features) {
      if (!feature->installed) component->installed = false;
      if (!feature->available) {
        component->available = false;
        if (!component->required) component->selected = false;
      }
    }
  }
  for (const ComponentPtr& component : *lists.component_list) {
    if (!component->required || component->available) continue;
    for (const std::string& name : component->alternates) {
      const ComponentPtr alternate = FindComponent(lists, name, messages_);
      if (alternate->available) {
        component->required = component->selected = false;
        alternate->required = alternate->selected = true;
        break;
      }
    }
  }
}

void InstallationRun::SelectFeaturesFromComponents() {
  auto& lists = state_.lists;
  if (lists.feature_list)
    for (const FeaturePtr& feature : *lists.feature_list) feature->selected = false;
  if (!lists.component_list) return;
  for (const ComponentPtr& component : *lists.component_list) {
    if (!component->selected && !component->required) continue;
    for (const FeaturePtr& feature : component->features) feature->selected = true;
  }
}

std::uint32_t InstallationRun::RequiredSpaceKB() {
  if (state_.cluster_size == 0) state_.cluster_size = 4096;
  auto& lists = state_.lists;
  if (!lists.component_list || !lists.feature_list) return 0;
  std::uint64_t total = 99, sum = 0;
  const std::uint64_t cluster = state_.cluster_size;
  SelectFeaturesFromComponents();
  for (const FeaturePtr& feature : *lists.feature_list) {
    if (!feature->selected) continue;
    if (!feature->folders.empty()) {
      for (const FolderRecord& folder : feature->folders) {
        for (const FileRecord& file : folder.files) {
          total += file.size + std::uint64_t{kPerFileProgress};
          sum += RoundUp(file.size, cluster);
        }
      }
    } else if (!feature->installed && !feature->older_installed) {
      sum += feature->installer_size;
    }
  }
  for (const ResourceRecord& resource : lists.resource_list) {
    total += resource.size + std::uint64_t{kPerFileProgress};
    sum += RoundUp(resource.size, cluster);
  }
  state_.progress_unit = static_cast<std::uint32_t>(total / 100);
  return static_cast<std::uint32_t>((sum + 1023) / 1024);
}

bool InstallationRun::CheckPrerequisites(FeatureRecord& feature) {
  bool ok = true;
  std::string list;
  for (const FeatureRecord* required : feature.requires_features) {
    if (required->installed) continue;
    ok = false;
    if (kMaxPrerequisiteList - list.size() > required->description.size() + 6)
      list += "  " + required->description + "\n";
  }
  if (!ok && !messages_.AskYesNo(msg::kPrerequisiteMissingTitle, msg::kPrerequisiteMissing, feature.description.c_str(),
                                 list.c_str())) {
    messages_.FatalExit(kExitCancelled, "%s", msg::kTerminatedForPrerequisites);
  }
  return ok;
}

bool InstallationRun::ComponentHasContent(std::size_t index) const {
  const auto& components = state_.lists.component_list;
  if (!components || index >= components->size()) return false;
  for (const FeaturePtr& feature : (*components)[index]->features)
    if (!feature->installers.empty() || !feature->folders.empty()) return true;
  return false;
}

void InstallationRun::Report(const std::string& line) {
  const std::uint64_t unit = state_.progress_unit ? state_.progress_unit : 1;
  progress_.ReportProgress(static_cast<int>((state_.progress_done + unit - 1) / unit),
                           line.substr(0, kMaxLogLine).c_str());
  // Between steps no file is open: a run the user asked to stop ends here.
  if (progress_.StopRequested()) messages_.EndRun(kExitCancelled);
}

void InstallationRun::DiscardFiles(const FeatureRecord& feature) {
  for (const FolderRecord& folder : feature.folders)
    for (const FileRecord& file : folder.files) extractor_.ExtractFile(std::nullopt, file.size);
}

void InstallationRun::RunFeatureInstallation(FeatureSteps& steps) {
  auto& lists = state_.lists;
  if (!lists.component_list || !lists.feature_list) messages_.FatalError(msg::kNoFilesToCopy);
  state_.progress_done = 0;
  SelectFeaturesFromComponents();
  if (state_.progress_unit == 0) state_.progress_unit = 99;
  const std::string folder_root = state_.variables.ValueOf(var::kInstDir);

  for (const FeaturePtr& feature_ptr : *lists.feature_list) {
    FeatureRecord& feature = *feature_ptr;
    if (feature.installed) {
      DiscardFiles(feature);
      continue;
    }
    if (feature.selected && !CheckPrerequisites(feature)) feature.selected = false;
    if (feature.installers.empty() && feature.folders.empty()) {
      if (!feature.selected) continue;
      if (messages_.AskYesNo(msg::kFeatureNotInstalledTitle, msg::kFeatureNotInstalled, feature.description.c_str(),
                             feature.error_message.c_str())) {
        continue;
      }
      messages_.FatalExit(kExitCancelled, msg::kTerminatedPleaseInstall, feature.description.c_str());
    }
    if (!feature.selected) {
      DiscardFiles(feature);
      continue;
    }
    InstallFeature(feature, folder_root, steps);
  }
  extractor_.CloseStream();
  CopyResources(folder_root);
}

void InstallationRun::InstallFeature(FeatureRecord& feature, const std::string& folder_root, FeatureSteps& steps) {
  Report(" ");
  Report(FormatText(msg::kInstallingFeature, feature.description.c_str()));
  if (!feature.installers.empty()) steps.RunFeatureInstallers(feature);
  for (const FolderRecord& folder : feature.folders) {
    Report(FormatText(msg::kCreatingFolder, folder.path.c_str()));
    // A "/" folder line stands for the installation folder itself.
    const std::string target = JoinPath(folder_root, folder.path);
    extractor_.CreateFolderPath(target);
    for (const FileRecord& file : folder.files) {
      Report(FormatText(msg::kCopyingFile, file.name.c_str()));
      extractor_.ExtractFile(JoinPath(target, file.name), file.size);
    }
  }
  if (feature.driver_inf) {
    Report(FormatText(msg::kInstallingDriver, feature.driver_inf->c_str()));
    steps.InstallDriver(feature);
  }
}

void InstallationRun::CopyResources(const std::string& folder_root) {
  auto& lists = state_.lists;
  progress_.BeginStep("installed copy");
  Report(msg::kCopyingResources);
  const std::string* resource_root = state_.variables.GetVariable(var::kResDir);
  const std::string resources = JoinPath(resource_root ? *resource_root : folder_root, "resources");
  // Outside Program Files users may often write in the installation folder: the copy
  // and the manifest that an elevated removal trusts are the administrators' alone.
  const bool protect = !LiesInside(resources, state_.variables.ValueOf(var::kProgramFiles));
  extractor_.CreateFolderPath(resources, protect ? kResourcesFolderAccess : nullptr);
  for (ResourceRecord& resource : lists.resource_list) {
    Report(FormatText(msg::kCopyingResource, resource.name.c_str()));
    const std::string installed = JoinPath(resources, resource.name);
    extractor_.CopyInstallFile(resource.path, installed, resource.size, resource.own_program);
    if (resource.key) {
      state_.variables.SetVariable(*resource.key, installed);
      resource.name = installed;
    }
  }
}

}  // namespace inst
