#include "core/caret.h"

#include <gtest/gtest.h>

namespace tavu {
namespace {

// The expected result of a command; default-constructed: the command does not apply.
struct Out {
  Out() = default;
  Out(std::u16string t, std::size_t c, std::u16string cl = {})
      : applies(true), text(std::move(t)), caret(c), clip(std::move(cl)) {}
  bool applies = false;
  std::u16string text;
  std::size_t caret = 0;
  std::u16string clip;
};

void ExpectEdit(CaretCommand command, const std::u16string& text, std::size_t caret,
                const Out& want) {
  const CaretEdit got = ApplyCaretCommand(command, text, caret);
  SCOPED_TRACE(testing::Message() << "command " << static_cast<int>(command) << " caret " << caret);
  EXPECT_EQ(got.applies, want.applies);
  if (!want.applies)
    return;
  EXPECT_EQ(got.text, want.text);
  EXPECT_EQ(got.caret, want.caret);
  EXPECT_EQ(got.clip, want.clip);
}

TEST(Caret, FiveCommandsAtEveryCaretIndex) {
  const Out none;
  struct Row {
    std::size_t caret;
    Out cutBefore, cutAfter, copyBefore, copyAfter, xch;
  };
  const Row rows[] = {
      {0, none, {u"", 0}, none, {u"", 0, u"abcdef"}, none},
      {1, {u"bcdef", 0}, {u"a", 1}, {u"bcdef", 0, u"a"}, {u"a", 1, u"bcdef"}, {u"bcdefa", 5}},
      {2, {u"cdef", 0}, {u"ab", 2}, {u"cdef", 0, u"ab"}, {u"ab", 2, u"cdef"}, {u"cdefab", 4}},
      {3, {u"def", 0}, {u"abc", 3}, {u"def", 0, u"abc"}, {u"abc", 3, u"def"}, {u"defabc", 3}},
      {4, {u"ef", 0}, {u"abcd", 4}, {u"ef", 0, u"abcd"}, {u"abcd", 4, u"ef"}, {u"efabcd", 2}},
      {5, {u"f", 0}, {u"abcde", 5}, {u"f", 0, u"abcde"}, {u"abcde", 5, u"f"}, {u"fabcde", 1}},
      {6, {u"", 0}, none, {u"", 0, u"abcdef"}, none, none},
      // Past the end counts as the end.
      {static_cast<std::size_t>(-1), {u"", 0}, none, {u"", 0, u"abcdef"}, none, none},
  };
  for (const Row& r : rows) {
    ExpectEdit(CaretCommand::CutBefore, u"abcdef", r.caret, r.cutBefore);
    ExpectEdit(CaretCommand::CutAfter, u"abcdef", r.caret, r.cutAfter);
    ExpectEdit(CaretCommand::CopyBefore, u"abcdef", r.caret, r.copyBefore);
    ExpectEdit(CaretCommand::CopyAfter, u"abcdef", r.caret, r.copyAfter);
    ExpectEdit(CaretCommand::Xch, u"abcdef", r.caret, r.xch);
  }
}

TEST(Caret, SurrogatePairsLongTextsAndInsertion) {
  const std::u16string pair = u"\U0001F600";
  // A caret inside a pair stands in front of it; next to a lone surrogate it stays.
  ExpectEdit(CaretCommand::Xch, u"a" + pair + u"b", 2, {pair + u"ba", 3});
  ExpectEdit(CaretCommand::CopyAfter, u"a" + pair, 2, {u"a", 1, pair});
  ExpectEdit(CaretCommand::CutAfter, u"\xDC00\xD800", 1, {u"\xDC00", 1});
  EXPECT_EQ(InsertedAtCaret(pair, 1, u"x"), u"x" + pair);
  EXPECT_EQ(InsertedAtCaret(u"report", 0, u"2024-03-05"), u"2024-03-05report");
  EXPECT_EQ(InsertedAtCaret(u"abc", 2, u"XY"), u"abXYc");
  EXPECT_EQ(InsertedAtCaret(u"abc", 40000, u"XY"), u"abcXY");
  const std::u16string a(20000, u'a'), b(20000, u'b');
  ExpectEdit(CaretCommand::Xch, a + b, 20000, {b + a, 20000});
}

TEST(Caret, EditMenuEnabledRules) {
  using F = EditFieldView;
  using S = EditMenuState;
  const std::pair<std::optional<F>, S> rows[] = {
      {std::nullopt, S{}},
      {F{u"", 0, u""}, S{}},
      {F{u"", 5, u"a"}, S{.undo = true}},
      {F{u"abcdef", 0, u"abcdef"}, S{.cutAfter = true, .copyAfter = true}},
      {F{u"abcdef", 3, u"abcdef"}, S{true, true, true, true, true, false}},
      {F{u"abcdef", 60, u"abcdef"}, S{.cutBefore = true, .copyBefore = true}},
      {F{u"\U0001F600", 1, u""}, S{.cutAfter = true, .copyAfter = true, .undo = true}},
      // Restore compares code unit by code unit, case included.
      {F{u"a", 1, u"a.b"}, S{.cutBefore = true, .copyBefore = true, .undo = true}},
      {F{u"Txt", 3, u"txt"}, S{.cutBefore = true, .copyBefore = true, .undo = true}},
  };
  for (const auto& [field, want] : rows) {
    EXPECT_TRUE(EditMenuFor(field, false) == want) << (field ? field->caret : 999);
    // Taking back the last OK depends on the journal alone, not on a field.
    S withEntry = want;
    withEntry.undoLast = true;
    EXPECT_TRUE(EditMenuFor(field, true) == withEntry) << (field ? field->caret : 999);
  }
}

TEST(Caret, ShortCutCodesMatchWithExactModifiers) {
  constexpr unsigned kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kHome = 36, kN = 78, kZ = 90;
  struct Row {
    unsigned vk;
    bool shift, ctrl, alt;
    std::uint16_t code;
    int slot;
  };
  const Row rows[] = {
      {kLeft, true, true, false, 0x6025, 1},  {kRight, true, true, false, 0x6027, 2},
      {kN, false, true, false, 0x404E, 3},    {kUp, true, true, false, 0x6026, 4},
      {kDown, true, true, false, 0x6028, 5},  {kHome, true, true, false, 0x6024, 6},
      {kZ, true, true, false, 0x605A, 7},     {kZ, false, true, false, 0x405A, 0},
      {kLeft, true, true, true, 0xE025, 0},   {kN, true, true, false, 0x604E, 0},
      {kLeft, false, true, false, 0x4025, 0}, {kHome, true, false, true, 0xA024, 0},
      {0x125, true, true, false, 0, 0},
  };
  for (const Row& r : rows) {
    const std::uint16_t code = ShortCutCode(r.vk, r.shift, r.ctrl, r.alt);
    EXPECT_EQ(code, r.code) << r.vk;
    EXPECT_EQ(MatchShortCut(code, kMainShortCuts), r.slot) << r.vk;
  }
  // A window whose table was never filled matches nothing, not even code 0.
  EXPECT_EQ(MatchShortCut(0, ShortCutTable{}), 0);
  const EditMenuState bySlot[] = {{.cutBefore = true},  {.cutAfter = true},  {.undo = true},
                                  {.copyBefore = true}, {.copyAfter = true}, {.xch = true},
                                  {.undoLast = true}};
  for (int slot = 1; slot <= 7; ++slot)
    for (int asked = 0; asked <= 8; ++asked)
      EXPECT_EQ(SlotEnabled(bySlot[slot - 1], asked), asked == slot) << slot << " " << asked;
}

} // namespace
} // namespace tavu
