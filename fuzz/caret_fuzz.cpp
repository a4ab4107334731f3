// The caret commands as text transforms: any text and caret index, every
// command, the edit menu's flags and the shortcut table.
#include "core/caret.h"
#include "fuzz.h"

namespace {

using namespace tavu;
using namespace tavu::fuzz;

constexpr CaretCommand kCommands[] = {CaretCommand::CutBefore, CaretCommand::CutAfter,
                                      CaretCommand::CopyBefore, CaretCommand::CopyAfter,
                                      CaretCommand::Xch};

bool SplitsPair(std::u16string_view text, std::size_t i) {
  return i > 0 && i < text.size() && IsHighSurrogate(text[i - 1]) && IsLowSurrogate(text[i]);
}

void CheckCommands(const std::u16string& text, std::size_t caret, const std::u16string& loaded) {
  const std::size_t i = NormalizeCaret(text, caret);
  FUZZ_CHECK(i <= text.size() && !SplitsPair(text, i));
  FUZZ_CHECK(i == std::min(caret, text.size()) || i + 1 == std::min(caret, text.size()));
  FUZZ_CHECK(NormalizeCaret(text, i) == i);
  const auto before = text.substr(0, i), after = text.substr(i);

  for (const auto command : kCommands) {
    const auto edit = ApplyCaretCommand(command, text, caret);
    const bool copies = command == CaretCommand::CopyBefore || command == CaretCommand::CopyAfter;
    if (!edit.applies) {
      FUZZ_CHECK(edit.text.empty() && edit.caret == 0 && edit.clip.empty());
      continue;
    }
    FUZZ_CHECK(edit.caret <= edit.text.size());
    switch (command) {
    case CaretCommand::CutBefore:
    case CaretCommand::CopyBefore:
      FUZZ_CHECK(!before.empty() && edit.text == after && edit.caret == 0);
      FUZZ_CHECK(edit.clip == (copies ? before : u""));
      break;
    case CaretCommand::CutAfter:
    case CaretCommand::CopyAfter:
      FUZZ_CHECK(!after.empty() && edit.text == before && edit.caret == before.size());
      FUZZ_CHECK(edit.clip == (copies ? after : u""));
      break;
    case CaretCommand::Xch:
      FUZZ_CHECK(!before.empty() && !after.empty());
      FUZZ_CHECK(edit.text == after + before && edit.caret == after.size());
      FUZZ_CHECK(edit.clip.empty());
      // Swapping back at the new caret gives the text as it was.
      FUZZ_CHECK(ApplyCaretCommand(command, edit.text, edit.caret).text == text ||
                 SplitsPair(edit.text, edit.caret));
      break;
    }
  }

  const auto inserted = InsertedAtCaret(text, caret, loaded);
  FUZZ_CHECK(inserted == before + loaded + after);

  // Each menu item is on exactly when its command would act.
  const bool journalEntry = caret % 2 != 0;
  const auto state = EditMenuFor(EditFieldView{text, caret, loaded}, journalEntry);
  const auto applies = [&](CaretCommand c) { return ApplyCaretCommand(c, text, caret).applies; };
  FUZZ_CHECK(state.cutBefore == applies(CaretCommand::CutBefore));
  FUZZ_CHECK(state.cutAfter == applies(CaretCommand::CutAfter));
  FUZZ_CHECK(state.copyBefore == applies(CaretCommand::CopyBefore));
  FUZZ_CHECK(state.copyAfter == applies(CaretCommand::CopyAfter));
  FUZZ_CHECK(state.xch == applies(CaretCommand::Xch));
  FUZZ_CHECK(state.undo == (text != loaded));
  FUZZ_CHECK(state.undoLast == journalEntry);
  FUZZ_CHECK(EditMenuFor(std::nullopt, journalEntry) == EditMenuState{.undoLast = journalEntry});
  for (int slot = 0; slot <= 8; ++slot) {
    const bool enabled = SlotEnabled(state, slot);
    FUZZ_CHECK(slot >= 1 || !enabled);
    FUZZ_CHECK(slot <= 7 || !enabled);
  }
}

void CheckShortCut(std::uint32_t key, std::uint8_t modifiers) {
  const bool shift = modifiers & 1, ctrl = modifiers & 2, alt = modifiers & 4;
  const auto code = ShortCutCode(key, shift, ctrl, alt);
  if (key > 0xFF) {
    FUZZ_CHECK(code == 0);
  } else {
    FUZZ_CHECK((code & 0xFF) == key);
    FUZZ_CHECK(((code & kShortCutShift) != 0) == shift);
    FUZZ_CHECK(((code & kShortCutCtrl) != 0) == ctrl);
    FUZZ_CHECK(((code & kShortCutAlt) != 0) == alt);
  }
  const int slot = MatchShortCut(code, kMainShortCuts);
  int expected = 0;
  for (int s = 7; s >= 1; --s)
    if (code != 0 && kMainShortCuts[s - 1] == code)
      expected = s;
  FUZZ_CHECK(slot == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::uint32_t key = in.Word();
  const std::uint8_t modifiers = in.Byte();
  CheckShortCut(key, modifiers);
  // Caret indexes beyond the text's end arrive too (a stale caret after a change).
  const std::size_t caret = in.Word();
  const auto text = in.Text();
  const auto loaded = in.Text();
  CheckCommands(text, caret, loaded);
  CheckCommands(text, caret % (text.size() + 1), loaded);
  return 0;
}
