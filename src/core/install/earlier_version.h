// Another version of the product in the folder an installation goes into. It is
// replaced in the same run and under the same journal, as the wizard recommends: the
// files the new version writes are backed up (or left alone when they are the same) as
// any file is, the others set aside after, so that a failure, a Cancel or a kill puts
// it back as it was; its records go once the run has succeeded.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/install/installer_state.h"
#include "core/install/registry.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// What an installed manifest records of its installation.
struct EarlierInstallation {
  EarlierInstallation();
  InstallerVariables variables;  // Manufacturer, Product, Edition, Version, PatchLevel, ShortcutFolder
  std::vector<std::string> files, folders;
};

// The installation in `folder` that an installed manifest's text records (lines read
// as the parser reads them, %InstDir% standing for the folder); none when it is of
// another product than `ours` names.
std::optional<EarlierInstallation> ReadEarlierInstallation(const std::string& folder, const InstallerVariables& ours,
                                                           std::string_view text, Messages& messages);

// Another version, patch level or edition of this product installed in `folder`.
std::optional<EarlierInstallation> FindEarlierVersion(const InstallerVariables& ours, FileSystem& files,
                                                      Messages& messages, const std::string& folder);

// Before the new version is written: the log says what is replaced, and the earlier
// version's folders are taken on record.
void BeginReplacingEarlierVersion(InstallerState& state, const EarlierInstallation& earlier, FileSystem& files,
                                  Progress& progress);
// Once the new version's files are written: the earlier version's files it did not
// write are set aside through the journal. (A next patch level finds most files the
// same: set aside first, each would be written again.)
void SetAsideEarlierFiles(InstallerState& state, const EarlierInstallation& earlier, FileSystem& files);

// Once the run has succeeded: the earlier version's product keys and uninstall entry,
// and its folders that are left empty.
void ForgetEarlierVersion(const InstallerVariables& ours, const EarlierInstallation& earlier, Registry& registry,
                          FileSystem& files, Messages& messages);

}  // namespace inst
