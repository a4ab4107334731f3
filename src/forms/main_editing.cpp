// The main window's editing aids: the caret commands of the edit menu and
// their shortcuts, restoring the loaded name, and the date entries.
#include "forms/main.h"

#include <iterator>
#include <optional>

#include "common/clipboard.h"
#include "common/itemdates.h"
#include "common/journal.h"
#include "common/pelvane.h"
#include "core/caret.h"
#include "core/dates.h"
#include "core/error.h"
#include "core/names.h"

void TMainForm::EditNameEnter() {
  MEdit = &EditName;
}

void TMainForm::EditExtEnter() {
  MEdit = &EditExt;
}

tavu::EditMenuState TMainForm::UpdateEditMenu() {
  std::optional<tavu::EditFieldView> field;
  std::u16string text, loaded;
  if (MEdit) {
    const std::u16string p = EditPath.Text();
    const tavu::LoadedFields fields = tavu::LoadedFieldsFor(Pelvane::KindOf(p), p);
    loaded = MEdit == &EditExt ? fields.ext : fields.name;
    text = MEdit->Text();
    const int caret = MEdit->CaretIndex();
    field = tavu::EditFieldView{text, static_cast<std::size_t>(caret < 0 ? 0 : caret), loaded};
  }
  // The journal is read afresh: another window may have taken back or added
  // an entry since. One that cannot be read offers nothing to take back.
  bool journalEntry = false;
  try {
    journalEntry = !Pelvane::ReadJournal().empty();
  } catch (const tavu::Exception&) {
  }
  const tavu::EditMenuState state = tavu::EditMenuFor(field, journalEntry);
  PPCaretCutBefore.Enabled = state.cutBefore;
  PPCaretCutAfter.Enabled = state.cutAfter;
  PPCaretCopyBefore.Enabled = state.copyBefore;
  PPCaretCopyAfter.Enabled = state.copyAfter;
  PPCaretXch.Enabled = state.xch;
  PPUndo.Enabled = state.undo;
  PPUndoLast.Enabled = state.undoLast;
  return state;
}

bool TMainForm::IsShortCut(const MSG& msg) {
  const std::uint16_t code =
      tavu::ShortCutCode(static_cast<std::uint32_t>(msg.wParam) & 0xFFFF, GetKeyState(VK_SHIFT) < 0,
                         GetKeyState(VK_CONTROL) < 0,
                         (static_cast<std::uint32_t>(msg.lParam) & tavu::kKeyDataAlt) != 0);
  const int slot = tavu::MatchShortCut(code, MShortCut);
  if (slot == 0)
    return TForm::IsShortCut(msg);
  // What each slot runs, in slot order; whether it may run is the edit
  // menu's state for its item.
  static constexpr void (TMainForm::*kRuns[])() = {
      &TMainForm::PPCaretCutBeforeClick, &TMainForm::PPCaretCutAfterClick,
      &TMainForm::PPUndoClick,           &TMainForm::PPCaretCopyBeforeClick,
      &TMainForm::PPCaretCopyAfterClick, &TMainForm::PPCaretXchClick,
      &TMainForm::PPUndoLastClick,
  };
  static_assert(std::size(kRuns) == tavu::kMainShortCuts.size());
  // Only a shortcut needs the items' states, which ask the file system: not
  // every key typed into a field (the menu updates itself when it opens).
  // A matched key is consumed also when its item is disabled, so that the
  // field never sees it (Shift+Ctrl+Left would select a word).
  if (tavu::SlotEnabled(UpdateEditMenu(), slot))
    (this->*kRuns[slot - 1])();
  return true;
}

void TMainForm::RunCaretCommand(tavu::CaretCommand command) {
  if (!MEdit)
    return;
  tk::TEdit& edit = *MEdit;
  const int caret = edit.CaretIndex();
  const tavu::CaretEdit result = tavu::ApplyCaretCommand(
      command, edit.Text(), static_cast<std::size_t>(caret < 0 ? 0 : caret));
  if (!result.applies)
    return;
  const bool cut =
      command == tavu::CaretCommand::CopyBefore || command == tavu::CaretCommand::CopyAfter;
  // A cut whose text the clipboard did not take would lose it: keep the field as it is.
  if (cut && !Pelvane::CopyTextToClipboard(tk::Application().Handle(), result.clip)) {
    MessageBeep(0);
    return;
  }
  edit.SetText(result.text);
  edit.SetFocus();
  edit.SetSel(static_cast<int>(result.caret), 0);
}

void TMainForm::PPCaretCutBeforeClick() {
  RunCaretCommand(tavu::CaretCommand::CutBefore);
}

void TMainForm::PPCaretCutAfterClick() {
  RunCaretCommand(tavu::CaretCommand::CutAfter);
}

void TMainForm::PPCaretCopyBeforeClick() {
  RunCaretCommand(tavu::CaretCommand::CopyBefore);
}

void TMainForm::PPCaretCopyAfterClick() {
  RunCaretCommand(tavu::CaretCommand::CopyAfter);
}

void TMainForm::PPCaretXchClick() {
  RunCaretCommand(tavu::CaretCommand::Xch);
}

void TMainForm::PPEditPopup() {
  UpdateEditMenu();
  const std::u16string p = EditPath.Text();
  const bool file = Pelvane::IsExistingFile(p);
  const bool folder = !file && Pelvane::IsExistingFolder(p);
  // A refused path throws out of here, so the menu does not open.
  const tavu::DateMenu dates = tavu::DateMenuFor(file || folder, [&](tavu::DateSource source) {
    return source == tavu::DateSource::Today ? Pelvane::Today()
                                             : Pelvane::ItemDate(p, folder, source);
  });
  for (std::size_t i = 1; i <= 6; ++i) {
    if (tk::TMenuItem* item = MPPDate[i]) {
      item->Caption = dates.captions[i - 1];
      item->Visible = dates.visible;
    }
  }
}

void TMainForm::PPDateClick(tk::TMenuItem& sender) {
  if (sender.Tag < 1 || sender.Tag > 6)
    return;
  if (tk::TMenuItem* item = MPPDate[static_cast<std::size_t>(sender.Tag)])
    tk::InsertAtCaret(EditName, item->Caption);
}

void TMainForm::PPUndoClick() {
  LoadCurrentItem();
}
