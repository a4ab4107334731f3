#include "core/caret.h"

namespace tavu {

namespace {

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

std::size_t NormalizeCaret(std::u16string_view text, std::size_t caret) {
  if (caret > text.size())
    caret = text.size();
  // Only a real pair is protected; a lone surrogate is one code unit like any other.
  if (caret > 0 && caret < text.size() && IsHighSurrogate(text[caret - 1]) &&
      IsLowSurrogate(text[caret]))
    --caret;
  return caret;
}

CaretEdit ApplyCaretCommand(CaretCommand command, std::u16string_view text, std::size_t caret) {
  const std::size_t i = NormalizeCaret(text, caret);
  const std::u16string_view before = text.substr(0, i);
  const std::u16string_view after = text.substr(i);
  CaretEdit edit;
  switch (command) {
  case CaretCommand::CutBefore:
  case CaretCommand::CopyBefore:
    if (before.empty())
      return edit;
    edit.text = after;
    edit.caret = 0;
    if (command == CaretCommand::CopyBefore)
      edit.clip = before;
    break;
  case CaretCommand::CutAfter:
  case CaretCommand::CopyAfter:
    if (after.empty())
      return edit;
    edit.text = before;
    edit.caret = before.size();
    if (command == CaretCommand::CopyAfter)
      edit.clip = after;
    break;
  case CaretCommand::Xch:
    if (before.empty() || after.empty())
      return edit;
    edit.text.reserve(text.size());
    edit.text.append(after).append(before);
    edit.caret = after.size();
    break;
  }
  edit.applies = true;
  return edit;
}

std::u16string InsertedAtCaret(std::u16string_view text, std::size_t caret,
                               std::u16string_view insert) {
  const std::size_t i = NormalizeCaret(text, caret);
  std::u16string result;
  result.reserve(text.size() + insert.size());
  result.append(text.substr(0, i)).append(insert).append(text.substr(i));
  return result;
}

EditMenuState EditMenuFor(const std::optional<EditFieldView>& field, bool journalEntry) {
  EditMenuState state;
  state.undoLast = journalEntry;
  if (!field)
    return state;
  const std::size_t n = field->text.size();
  const std::size_t i = NormalizeCaret(field->text, field->caret);
  state.cutAfter = i < n;
  state.cutBefore = i > 0 && n > 0;
  state.copyAfter = state.cutAfter;
  state.copyBefore = state.cutBefore;
  state.xch = state.cutAfter && state.cutBefore;
  state.undo = field->text != field->loaded;
  return state;
}

std::uint16_t ShortCutCode(std::uint32_t virtualKey, bool shift, bool ctrl, bool alt) {
  if (virtualKey > 0xFF)
    return 0;
  std::uint16_t code = static_cast<std::uint16_t>(virtualKey);
  if (shift)
    code |= kShortCutShift;
  if (ctrl)
    code |= kShortCutCtrl;
  if (alt)
    code |= kShortCutAlt;
  return code;
}

int MatchShortCut(std::uint16_t code, const ShortCutTable& table) {
  if (code == 0)
    return 0;
  for (std::size_t slot = 0; slot < table.size(); ++slot)
    if (table[slot] == code)
      return static_cast<int>(slot) + 1;
  return 0;
}

bool SlotEnabled(const EditMenuState& state, int slot) {
  switch (slot) {
  case 1:
    return state.cutBefore;
  case 2:
    return state.cutAfter;
  case 3:
    return state.undo;
  case 4:
    return state.copyBefore;
  case 5:
    return state.copyAfter;
  case 6:
    return state.xch;
  case 7:
    return state.undoLast;
  default:
    return false;
  }
}

} // namespace tavu
