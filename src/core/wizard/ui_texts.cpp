#include "core/wizard/ui_texts.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/install/install_messages.h"
#include "core/manifest/manifest_messages.h"
#include "core/payload/payload_messages.h"
#include "core/support/messages.h"
#include "core/support/support_messages.h"
#include "core/support/text.h"
#include "core/wizard/wizard_messages.h"
#include "win/win_messages.h"

namespace inst {

namespace {

constexpr UiTextEntry kTable[] = {
    {"FatalErrorTitle", kFatalErrorTitle},
    {"InstallerCorrupt", kInstallerCorrupt},
    {"ErrorTitle", kErrorTitle},
    {"CantFindVariable", msg::kCantFindVariable},
    {"SyntaxErrorInVariable", msg::kSyntaxErrorInVariable},
    {"CancelSetupTitle", msg::kCancelSetupTitle},
    {"CancelSetup", msg::kCancelSetup},
    {"RemoveInstallationTitle", msg::kRemoveInstallationTitle},
    {"RemoveInstallation", msg::kRemoveInstallation},
    {"InstallOlderVersionTitle", msg::kInstallOlderVersionTitle},
    {"InstallOlderVersion", msg::kInstallOlderVersion},
    {"NoLicence", msg::kNoLicence},
    {"NoPdfCheckbox", msg::kNoPdfCheckbox},
    {"BadFolderTitle", msg::kBadFolderTitle},
    {"FolderNotFullPath", msg::kFolderNotFullPath},
    {"FolderIsAFile", msg::kFolderIsAFile},
    {"PreviousInstallationTitle", msg::kPreviousInstallationTitle},
    {"RemovePreviousInstallation", msg::kRemovePreviousInstallation},
    {"OverwritePreviousInstallation", msg::kOverwritePreviousInstallation},
    {"CantCreateWindow", msg::kCantCreateWindow},
    {"QuickstartTitle", msg::kQuickstartTitle},
    {"NoQuickstartGuide", msg::kNoQuickstartGuide},
    {"ReadPdfTitle", msg::kReadPdfTitle},
    {"NoDocument", msg::kNoDocument},
    {"RestartToFinish", msg::kRestartToFinish},
    {"LicenceTextName", msg::kLicenceTextName},
    {"FolderName", msg::kFolderName},
    {"SpaceRequiredName", msg::kSpaceRequiredName},
    {"SpaceAvailableName", msg::kSpaceAvailableName},
    {"LogName", msg::kLogName},
    {"BarName", msg::kBarName},
    {"StatusName", msg::kStatusName},
    {"UnknownLanguage", msg::kUnknownLanguage},
    {"PathNotOffered", msg::kPathNotOffered},
    {"BackButton", msg::kBackButton},
    {"NextButton", msg::kNextButton},
    {"NextButtonShort", msg::kNextButtonShort},
    {"FinishButton", msg::kFinishButton},
    {"CancelButton", msg::kCancelButton},
    {"WelcomePageTitle", msg::kWelcomePageTitle},
    {"LicencePageTitle", msg::kLicencePageTitle},
    {"InstallFolderPageTitle", msg::kInstallFolderPageTitle},
    {"ConfigurationPageTitle", msg::kConfigurationPageTitle},
    {"ProgressPageTitle", msg::kProgressPageTitle},
    {"CompletionPageTitle", msg::kCompletionPageTitle},
    {"RemovingWindowTitle", msg::kRemovingWindowTitle},
    {"InstallingWindowTitle", msg::kInstallingWindowTitle},
    {"RepairingWindowTitle", msg::kRepairingWindowTitle},
    {"SetupWindowTitle", msg::kSetupWindowTitle},
    {"WelcomeInstall", msg::kWelcomeInstall},
    {"WelcomeInstallPatchLevel", msg::kWelcomeInstallPatchLevel},
    {"WelcomeRemove", msg::kWelcomeRemove},
    {"WelcomeRepairOrRemove", msg::kWelcomeRepairOrRemove},
    {"RepairChoice", msg::kRepairChoice},
    {"RemoveChoice", msg::kRemoveChoice},
    {"AcceptLicence", msg::kAcceptLicence},
    {"ChooseFolderText", msg::kChooseFolderText},
    {"ChooseComponentsText", msg::kChooseComponentsText},
    {"DownloadMarkNote", msg::kDownloadMarkNote},
    {"InstalledComponent", msg::kInstalledComponent},
    {"DownloadedComponent", msg::kDownloadedComponent},
    {"SpaceAvailable", msg::kSpaceAvailable},
    {"SpaceRequired", msg::kSpaceRequired},
    {"ConfigurationText", msg::kConfigurationText},
    {"ConfigurationPathNote", msg::kConfigurationPathNote},
    {"LanguageLabel", msg::kLanguageLabel},
    {"AddToPath", msg::kAddToPath},
    {"UninstallingFiles", msg::kUninstallingFiles},
    {"InstallingFiles", msg::kInstallingFiles},
    {"DownloadingStatus", msg::kDownloadingStatus},
    {"InstallingComponentsStatus", msg::kInstallingComponentsStatus},
    {"RunTessara", msg::kRunTessara},
    {"ReadQuickstart", msg::kReadQuickstart},
    {"WouldYouLikeToRead", msg::kWouldYouLikeToRead},
    {"UninstalledText", msg::kUninstalledText},
    {"InstalledText", msg::kInstalledText},
    {"InstalledTextPatchLevel", msg::kInstalledTextPatchLevel},
    {"RepairedText", msg::kRepairedText},
    {"OnlineHelpLink", msg::kOnlineHelpLink},
    {"OrderingLink", msg::kOrderingLink},
    {"SetupOptionsTitle", msg::kSetupOptionsTitle},
    {"NeedsAdministrator", msg::kNeedsAdministrator},
    {"CantFindManifest", msg::kCantFindManifest},
    {"CannotRemove", msg::kCannotRemove},
    {"InstallInProgressTitle", msg::kInstallInProgressTitle},
    {"InstallInProgress", msg::kInstallInProgress},
    {"InterruptedTitle", msg::kInterruptedTitle},
    {"InterruptedTakenBack", msg::kInterruptedTakenBack},
    {"InvalidManifestSignature", msg::kInvalidManifestSignature},
    {"HttpsOnly", msg::kHttpsOnly},
    {"ServerError", msg::kServerError},
    {"CantCreateDownload", msg::kCantCreateDownload},
    {"CantWriteDownload", msg::kCantWriteDownload},
    {"DownloadBrokeOff", msg::kDownloadBrokeOff},
    {"DownloadDigestMismatch", msg::kDownloadDigestMismatch},
    {"DriverErrorTitle", msg::kDriverErrorTitle},
    {"PluginTitle", msg::kPluginTitle},
    {"PluginNoOle", msg::kPluginNoOle},
    {"PluginNotLoaded", msg::kPluginNotLoaded},
    {"PluginNoEntryPoint", msg::kPluginNoEntryPoint},
    {"PluginRegistrationFailed", msg::kPluginRegistrationFailed},
    {"PrerequisiteMissingTitle", msg::kPrerequisiteMissingTitle},
    {"DriverFilesFailed", msg::kDriverFilesFailed},
    {"DriverDevicesFailed", msg::kDriverDevicesFailed},
    {"PrerequisiteMissing", msg::kPrerequisiteMissing},
    {"TerminatedForPrerequisites", msg::kTerminatedForPrerequisites},
    {"NoFilesToCopy", msg::kNoFilesToCopy},
    {"FeatureNotInstalledTitle", msg::kFeatureNotInstalledTitle},
    {"FeatureNotInstalled", msg::kFeatureNotInstalled},
    {"TerminatedPleaseInstall", msg::kTerminatedPleaseInstall},
    {"TerminatedSuggestInstall", msg::kTerminatedSuggestInstall},
    {"InstallerNotFoundTitle", msg::kInstallerNotFoundTitle},
    {"InstallerNotFound", msg::kInstallerNotFound},
    {"InstallFailedTitle", msg::kInstallFailedTitle},
    {"InstallFailed", msg::kInstallFailed},
    {"RegistryWriteFailure", msg::kRegistryWriteFailure},
    {"CantDeleteFileTitle", msg::kCantDeleteFileTitle},
    {"DeleteAtRestart", msg::kDeleteAtRestart},
    {"CantLeaveForRestart", msg::kCantLeaveForRestart},
    {"FileInUseForDeleting", msg::kFileInUseForDeleting},
    {"RemovalStopped", msg::kRemovalStopped},
    {"CouldNotCreate", msg::kCouldNotCreate},
    {"NoStartMenu", msg::kNoStartMenu},
    {"CantCreateFileTitle", msg::kCantCreateFileTitle},
    {"FileInUseForWriting", msg::kFileInUseForWriting},
    {"ReplaceAtRestart", msg::kReplaceAtRestart},
    {"CantCreateFileError", msg::kCantCreateFileError},
    {"FileSizeMismatch", msg::kFileSizeMismatch},
    {"CantOpenFile", msg::kCantOpenFile},
    {"CantCreateFileText", msg::kCantCreateFileText},
    {"ShortRead", msg::kShortRead},
    {"WriteError", msg::kWriteError},
    {"FolderIsNotAFolder", msg::kFolderIsNotAFolder},
    {"FailedToCreateFolder", msg::kFailedToCreateFolder},
    {"OutsideInstallation", msg::kOutsideInstallation},
    {"SkippingFileOutside", msg::kSkippingFileOutside},
    {"SkippingFolderOutside", msg::kSkippingFolderOutside},
    {"ReplacingEarlierVersion", msg::kReplacingEarlierVersion},
    {"KeepingLink", msg::kKeepingLink},
    {"InstalledElsewhereTitle", msg::kInstalledElsewhereTitle},
    {"InstalledElsewhere", msg::kInstalledElsewhere},
    {"FolderLettersMissing", msg::kFolderLettersMissing},
    {"NoSuchDrive", msg::kNoSuchDrive},
    {"FolderTooLong", msg::kFolderTooLong},
    {"NotEnoughSpace", msg::kNotEnoughSpace},
    {"CantCreateLogFile", msg::kCantCreateLogFile},
    {"UnknownOption", msg::kUnknownOption},
    {"DirMustBeFullPath", msg::kDirMustBeFullPath},
    {"SeekOnSetup", msg::kSeekOnSetup},
    {"CantReadEntireFilecheck", msg::kCantReadEntireFilecheck},
    {"CantReadFilecheck", msg::kCantReadFilecheck},
    {"NoFeatureList", msg::kNoFeatureList},
    {"FeatureNotInManifest", msg::kFeatureNotInManifest},
    {"NoComponentList", msg::kNoComponentList},
    {"ComponentNotInManifest", msg::kComponentNotInManifest},
    {"InvalidManifestFormat", msg::kInvalidManifestFormat},
    {"InvalidManifestName", msg::kInvalidManifestName},
    {"ProductFolderLeadsOut", msg::kProductFolderLeadsOut},
    {"UnknownManifestLine", msg::kUnknownManifestLine},
    {"BadResourcesLine", msg::kBadResourcesLine},
    {"BadVariablesLine", msg::kBadVariablesLine},
    {"FileWithoutFolder", msg::kFileWithoutFolder},
    {"RequiredComponentLeftOut", msg::kRequiredComponentLeftOut},
    {"UnknownComponent", msg::kUnknownComponent},
    {"BadShortcutsLine", msg::kBadShortcutsLine},
    {"CantWriteInstalledManifest", msg::kCantWriteInstalledManifest},
};

}  // namespace

std::span<const UiTextEntry> UiTextTable() { return kTable; }

const char* UiLanguageOfLangId(unsigned lang_id) {
  switch (lang_id & 0x3FF) {
    case 0x07:
      return "de";
    case 0x0C:
      return "fr";
    default:
      return "en";
  }
}

namespace {

using Form = UiTextForm;

// The length of a place starting at `text[at]` (a printf conversion, or a [Name]
// reference), 0 when none starts there.
std::size_t PlaceLength(std::string_view text, std::size_t at) {
  if (text[at] == '%') {
    std::size_t end = at + 1;
    while (end < text.size() && std::strchr("-+ #0123456789.l", text[end])) ++end;
    return end < text.size() && std::strchr("sdiuxXfc", text[end]) ? end + 1 - at : 0;
  }
  if (text[at] == '[') {
    std::size_t end = at + 1;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
    return end > at + 1 && end < text.size() && text[end] == ']' ? end + 1 - at : 0;
  }
  return 0;
}

Form FormOf(std::string_view text) {
  Form form;
  form.pieces.emplace_back();
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, 2, "%%") == 0) {
      form.pieces.back() += '%';
      at += 2;
    } else if (const std::size_t length = PlaceLength(text, at)) {
      form.places.emplace_back(text.substr(at, length));
      form.pieces.emplace_back();
      at += length;
    } else {
      form.pieces.back() += text[at++];
    }
  }
  return form;
}

// "\n" in a line stands for a line break; every other backslash for itself.
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == 'n') {
      out += '\n';
      ++at;
    } else {
      out += text[at];
    }
  }
  return out;
}

// Reads the lines into texts by the table's order; the refusal naming the line.
std::optional<std::string> ReadLines(std::string_view lines, bool keyed, std::vector<std::string>& texts) {
  const auto& table = UiTextTable();
  texts.assign(table.size(), std::string());
  std::vector<bool> given(table.size(), false);
  int number = 0;
  while (!lines.empty()) {
    const std::size_t end = lines.find('\n');
    std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string where = "line " + std::to_string(number) + ": ";
    std::size_t equals = std::string_view::npos;
    auto entry = table.begin() + std::min<std::size_t>(static_cast<std::size_t>(number - 1), table.size());
    if (keyed) {
      if (line.empty() || line.front() == '#') continue;
      equals = line.find('=');
      if (equals == std::string_view::npos) return where + "no \"KEY=text\"";
      const std::string_view key = line.substr(0, equals);
      entry = std::find_if(table.begin(), table.end(), [&](const UiTextEntry& e) { return key == e.key; });
    }
    const std::string_view key = entry == table.end() ? line.substr(0, equals) : std::string_view(entry->key);
    if (entry == table.end()) return where + "no such key " + std::string(key);
    const auto index = static_cast<std::size_t>(entry - table.begin());
    if (given[index]) return where + std::string(key) + " is given twice";
    std::string text = Unescape(keyed ? line.substr(equals + 1) : line);
    if (FormOf(text).places != FormOf(entry->english).places) {
      std::string places;
      for (const std::string& place : FormOf(entry->english).places) places += " " + place;
      return where + std::string(key) +
             " must keep the places of its English text, in their order:" + (places.empty() ? " none" : places);
    }
    texts[index] = std::move(text);
    given[index] = true;
  }
  for (std::size_t index = 0; index < table.size(); ++index)
    if (!given[index]) return std::string("the key ") + table[index].key + " is missing";
  return std::nullopt;
}

// Where `form` matches `text` from `at`: the end of the match and the values of its
// places. A place takes the shortest text before the next piece; a last place takes
// the rest of the line, or of the text when `whole`.
std::optional<std::size_t> Match(const Form& form, std::string_view text, std::size_t at, bool whole,
                                 std::vector<std::string>& values) {
  values.clear();
  if (text.compare(at, form.pieces[0].size(), form.pieces[0]) != 0) return std::nullopt;
  at += form.pieces[0].size();
  for (std::size_t place = 0; place < form.places.size(); ++place) {
    const std::string& next = form.pieces[place + 1];
    std::size_t end;
    if (!next.empty()) {
      end = text.find(next, at);
    } else if (place + 1 < form.places.size()) {
      end = at;  // places side by side: the first takes nothing, the next the rest
    } else {
      end = whole ? text.size() : std::min(text.find('\n', at), text.size());
    }
    if (end == std::string_view::npos) return std::nullopt;
    values.emplace_back(text.substr(at, end - at));
    at = end + next.size();
  }
  return at;
}

std::string Fill(const Form& form, const std::vector<std::string>& values) {
  std::string out = form.pieces[0];
  for (std::size_t place = 0; place < values.size(); ++place) out += values[place] + form.pieces[place + 1];
  return out;
}

}  // namespace

std::optional<std::string> CheckUiTexts(std::string_view lines) {
  std::vector<std::string> texts;
  return ReadLines(lines, true, texts);
}

std::optional<std::string> UiTexts::Load(std::string_view code, std::string_view lines, bool keyed) {
  std::vector<std::string> texts;
  if (auto refusal = ReadLines(lines, keyed, texts)) return refusal;
  code_ = std::string(code);
  english_.clear();
  texts_.clear();
  for (const UiTextEntry& entry : UiTextTable()) english_.push_back(FormOf(entry.english));
  for (const std::string& text : texts) texts_.push_back(FormOf(text));
  return std::nullopt;
}

std::string UiTexts::Show(std::string_view english) const {
  if (texts_.empty() || english.empty()) return std::string(english);
  // A text may be several of the table's in a row (a page text and its note); a
  // rest no form matches (the system's own words for a fault) stays as it is.
  std::string shown;
  std::vector<std::string> values, best_values;
  std::size_t at = 0;
  while (at < english.size()) {
    std::size_t best_end = 0, best = english_.size();
    for (std::size_t index = 0; index < english_.size(); ++index) {
      const Form& form = english_[index];
      // A form that starts with a place matches only a whole text.
      const bool whole_only = form.pieces[0].empty();
      if (whole_only && at > 0) continue;
      const auto end = Match(form, english, at, whole_only, values);
      if (!end || *end <= best_end || (whole_only && *end != english.size())) continue;
      // A match ends where the text does or where another of its parts starts.
      if (*end < english.size() && english[*end] != '\n' && english[*end] != ' ') continue;
      best_end = *end;
      best = index;
      best_values = values;
    }
    if (best == english_.size()) break;
    shown += Fill(texts_[best], best_values);
    at = best_end;
  }
  return shown + std::string(english.substr(at));
}

}  // namespace inst
