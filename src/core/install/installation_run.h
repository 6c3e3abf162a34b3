// The installation run: which features are installed already, which are chosen,
// what they need, and the run itself, feature by feature in manifest order, then
// the installer's own resources into the installation.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/install/extraction.h"
#include "core/install/installer_state.h"
#include "core/install/product_registration.h"
#include "core/install/registry.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// Who may use the resources folder of an installation outside Program Files, in the
// system's security descriptor language: owned by the administrators, protected from
// inheritance, full access for the system and the administrators, reading for users.
inline constexpr const char* kResourcesFolderAccess = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

// The steps of a feature that reach beyond its files.
class FeatureSteps {
 public:
  virtual ~FeatureSteps() = default;
  virtual void RunFeatureInstallers(FeatureRecord& feature) = 0;
  virtual void InstallDriver(const FeatureRecord& feature) = 0;
};

class InstallationRun {
 public:
  InstallationRun(InstallerState& state, Registry& registry, FileSystem& files, Messages& messages,
                  FileExtractor& extractor, Progress& progress)
      : state_(state),
        registry_(registry),
        files_(files),
        messages_(messages),
        extractor_(extractor),
        progress_(progress) {}

  // True when the feature is installed; sets its available flag.
  bool ProbeFeature(FeatureRecord& feature);
  // The installer's own source, else its first usable alternate.
  std::optional<std::string> LocateInstaller(const InstallerRecord& installer);
  void ProbeFeaturesAndComponents();
  void SelectFeaturesFromComponents();
  // Kilobytes the chosen features and the resources take; sets progress_unit.
  std::uint32_t RequiredSpaceKB();
  // Asks whether to go on when a required feature is missing; No is fatal.
  bool CheckPrerequisites(FeatureRecord& feature);
  bool ComponentHasContent(std::size_t index) const;
  void RunFeatureInstallation(FeatureSteps& steps);

 private:
  // One chosen feature: its installers, its folders and files, its driver.
  void InstallFeature(FeatureRecord& feature, const std::string& folder_root, FeatureSteps& steps);
  // The resources into the installation's "resources" folder (the copy that repairs and removes it).
  void CopyResources(const std::string& folder_root);
  void Report(const std::string& line);
  void DiscardFiles(const FeatureRecord& feature);

  InstallerState& state_;
  Registry& registry_;
  FileSystem& files_;
  Messages& messages_;
  FileExtractor& extractor_;
  Progress& progress_;
};

}  // namespace inst
