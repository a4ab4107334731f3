#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavu {

// Caret indexes count UTF-16 code units in front of the caret. Every function
// here first clamps an index past the end to the text's length and moves an
// index that falls between the two halves of a surrogate pair back to the
// front of the pair, so no command ever splits a character in two.

// The caret index the commands work with: clamped, and never inside a surrogate pair.
std::size_t NormalizeCaret(std::u16string_view text, std::size_t caret);

// The five caret commands, named after the menu items that run them.
enum class CaretCommand {
  CutBefore,  // delete the text before the caret
  CutAfter,   // delete the text after the caret
  CopyBefore, // put the text before the caret on the clipboard, then delete it
  CopyAfter,  // put the text after the caret on the clipboard, then delete it
  Xch,        // swap the text before and after the caret
};

struct CaretEdit {
  bool applies = false; // false: nothing to act on; the field, focus and caret stay as they are
  std::u16string text;  // the field's new text
  std::size_t caret = 0;
  std::u16string clip; // CopyBefore and CopyAfter: the text for the clipboard; else empty
};
// What a caret command makes of a field's text and caret index. For the two
// clipboard commands the caller applies the result only once the clipboard took `clip`.
CaretEdit ApplyCaretCommand(CaretCommand command, std::u16string_view text, std::size_t caret);

// The text with `insert` put in at the caret; the caret index is normalized first.
std::u16string InsertedAtCaret(std::u16string_view text, std::size_t caret,
                               std::u16string_view insert);

// The field the commands act on, as the edit menu sees it.
struct EditFieldView {
  std::u16string_view text;
  std::size_t caret = 0;
  std::u16string_view loaded; // what restoring the current item would put into this field
};
// Enabled flags of the seven edit-menu items that have a shortcut.
struct EditMenuState {
  bool cutBefore = false;
  bool cutAfter = false;
  bool copyBefore = false;
  bool copyAfter = false;
  bool xch = false;
  bool undo = false;
  bool undoLast = false; // take back the last OK
  friend bool operator==(const EditMenuState&, const EditMenuState&) = default;
};
// The flags for the field last entered (the caret commands and the restore
// are off while no field has been entered) and for whether the undo journal
// holds an entry to take back.
EditMenuState EditMenuFor(const std::optional<EditFieldView>& field, bool journalEntry);

// Shortcut codes: the virtual-key code in the low byte, plus these modifier bits.
inline constexpr std::uint16_t kShortCutShift = 0x2000;
inline constexpr std::uint16_t kShortCutCtrl = 0x4000;
inline constexpr std::uint16_t kShortCutAlt = 0x8000;
// Bit of a key message's key data that is set while Alt is down.
inline constexpr std::uint32_t kKeyDataAlt = 0x20000000u;

// The shortcut code of a key with its modifiers; 0 for a virtual-key code above 255.
std::uint16_t ShortCutCode(std::uint32_t virtualKey, bool shift, bool ctrl, bool alt);

// The main window's shortcut slots 1..7 (array index 0..6) and the item each one runs.
using ShortCutTable = std::array<std::uint16_t, 7>;
inline constexpr ShortCutTable kMainShortCuts = {
    0x6025, // 1 Shift+Ctrl+Left:  PPCaretCutBefore
    0x6027, // 2 Shift+Ctrl+Right: PPCaretCutAfter
    0x404E, // 3 Ctrl+N:           PPUndo
    0x6026, // 4 Shift+Ctrl+Up:    PPCaretCopyBefore
    0x6028, // 5 Shift+Ctrl+Down:  PPCaretCopyAfter
    0x6024, // 6 Shift+Ctrl+Home:  PPCaretXch
    0x605A, // 7 Shift+Ctrl+Z:     PPUndoLast
};

// The first slot (1..7) whose code equals `code` exactly, modifiers included;
// 0 when none does. A code of 0 matches nothing, not even an unfilled slot.
int MatchShortCut(std::uint16_t code, const ShortCutTable& table);
// Whether the item that shortcut slot 1..7 runs is enabled; false for any other slot.
bool SlotEnabled(const EditMenuState& state, int slot);

} // namespace tavu
