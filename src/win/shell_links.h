// Start-menu shortcuts as shell links, made through the shell-link COM object.
#pragma once
#include <optional>
#include <string>

#include "win/process.h"

namespace inst::win {

// The file a shell link points to, when it can be read.
std::optional<std::string> ReadLinkTarget(const std::string& link);

// Makes every link of shortcut_list (and the HT-IDE3000 link when HoltekIDEPath is
// set) in ShortcutFolder, recording each for removal. Nothing at all without a list.
void CreateShortcuts(InstallerState& state, Messages& messages, FileExtractor& extractor);

// Makes one link file; a COM failure is fatal. Returns the result of the save.
long CreateShellLink(Messages& messages, const std::string& target, const std::string& link,
                     const std::optional<std::string>& description, const std::optional<std::string>& arguments,
                     const std::optional<std::string>& working_folder, const std::optional<std::string>& icon);

}  // namespace inst::win
