#include "win/pages/completion_page.h"

#include "core/manifest/manifest_parser.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/completion.h"
#include "core/wizard/wizard_messages.h"

namespace inst::win {

namespace {

constexpr int kRowX = 29;
constexpr int kBottomRowY = 227;
constexpr int kRowPitch = 14;
constexpr int kRowHeight = 10;

}  // namespace

// A removal started with its proceed flag set ends without this page.
bool CompletionPage::Passed() const {
  const InstallerVariables& vars = process_.variables();
  return vars.TestFlag(var::kRemove) && vars.TestFlag(var::kDoProceed);
}

HWND CompletionPage::AddRow(const char* text, int width, bool checked) {
  HWND box = window_.CreateControl("BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP, control::kCompletionRow);
  if (box == nullptr) return nullptr;
  window_.PlaceControl(box, kRowX, kBottomRowY - kRowPitch * rows_++, width, kRowHeight);
  ::SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return box;
}

void CompletionPage::RecordChoices() {
  process_.outcome.program_choice = !process_.outcome.tessara_path.empty() && Checked(tessara_);
  process_.outcome.java_choice = Checked(java_);
  process_.outcome.quickstart_choice = Checked(quickstart_);
  // Read now: the boxes are gone with the window before the documents are opened.
  for (std::size_t i = 0; i < document_boxes_.size(); ++i)
    process_.outcome.documents[i].chosen = Checked(document_boxes_[i]);
}

std::uint32_t CompletionPage::Enter(bool) {
  if (Passed()) return kPageSkip;
  InstallerVariables& vars = process_.variables();
  const std::string text = CompletionText(vars, process_.state.restart_needed);
  if (!vars.TestFlag(var::kRemove)) {
    frame_ = window_.CreateControl("STATIC", "", WS_BORDER, control::kCompletionRow);
    if (!process_.outcome.tessara_path.empty() && !IsExcluded(process_.state.exclude_list, "TESSARA")) {
      if (JavaNeeded(vars, process_.services.registry, process_.services.files)) {
        java_ = AddRow("TESSARA requires Java. Run Java Runtime Environment installer ?", 220, true);
      } else {
        tessara_ = AddRow(msg::kRunTessara, 85, false);
      }
    }
    const bool proceeding = vars.TestFlag(var::kDoProceed);
    if (vars.GetVariable(var::kReadQuickstart) && !proceeding) {
      quickstart_ = AddRow(msg::kReadQuickstart, 120, true);
    }
    if (vars.GetVariable(var::kReadPDFs) && !proceeding) {
      std::vector<CompletionDocument> documents = ReadDocumentList(vars, process_.services.messages);
      for (CompletionDocument& document : documents) {
        HWND box = AddRow(document.title.c_str(), 200, false);
        if (box == nullptr) process_.services.messages.FatalError(msg::kNoPdfCheckbox);
        process_.outcome.documents.push_back({std::move(document.title), std::move(document.path)});
        document_boxes_.push_back(box);
      }
      HWND heading = window_.CreateControl("STATIC", msg::kWouldYouLikeToRead, 0, control::kCompletionRow);
      if (heading) window_.PlaceControl(heading, kRowX, kBottomRowY - kRowPitch * rows_++, 200, kRowHeight);
    }
    if (rows_ > 0 && frame_) window_.PlaceControl(frame_, 25, 236 - kRowPitch * rows_, 350, kRowPitch * rows_ + 4);
  }
  window_.SetPageText(text);
  window_.EnableNext(true);
  ::SetFocus(window_.Control(control::kNext));
  RecordChoices();
  return 0;
}

std::uint32_t CompletionPage::Leave(bool) {
  if (Passed()) return 0;
  window_.SetPageText(std::nullopt);
  RecordChoices();
  return 0;
}

bool CompletionPage::Command(int) {
  RecordChoices();
  return false;
}

}  // namespace inst::win
