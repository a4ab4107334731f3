// Hostile and oversized input through every pure function; the sanitizers do
// most of the checking, the invariants below catch silent misbehaviour.
#include "core/caret.h"
#include "core/cmdline.h"
#include "core/error.h"
#include "core/handoff.h"
#include "core/names.h"
#include "core/paths.h"

#include <gtest/gtest.h>

#include <random>

namespace tavu {
namespace {

bool EndsWith(const std::u16string& s, const std::u16string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::u16string> Inputs() {
  std::vector<std::u16string> inputs = {
      u"",        u":",          u"\\",     u"\\\\", u"\\\\.\\NUL", u"\\\\?\\C:\\",
      u".",       u"..",         u"C:",     u"\"",   u"\"\"",       u"\xD800",
      u"\xDFFF.", u"a\xD800\\.", u"\u3000", u" ",    u"*?",         std::u16string(1, u'\0'),
  };
  // Mostly characters the rules care about, with any code unit mixed in.
  const std::u16string tricky = u"\\:./\" \t\x01\x1F\u3000*?|<>\xD83D\xDE00";
  std::mt19937 rng(12345);
  for (const std::size_t length : {0, 1, 2, 3, 300, 40000}) {
    for (int copy = 0; copy < (length > 300 ? 4 : 60); ++copy) {
      std::u16string s;
      for (std::size_t i = 0; i < length; ++i)
        s.push_back(rng() % 3 ? tricky[rng() % tricky.size()] : static_cast<char16_t>(rng()));
      inputs.push_back(std::move(s));
    }
  }
  inputs.push_back(std::u16string(40000, u'\\'));
  inputs.push_back(std::u16string(40000, u'"'));
  inputs.push_back(std::u16string(40000, u'\xDC00'));
  return inputs;
}

TEST(Robustness, HostileInputKeepsInvariants) {
  for (const auto& s : Inputs()) {
    const auto name = FileNamePart(s);
    const auto folder = FolderPart(s);
    const auto ext = ExtPart(s);
    ASSERT_EQ(folder + name, s);
    ASSERT_TRUE(EndsWith(name, ext));
    ASSERT_TRUE(ext.empty() || (ext[0] == u'.' && ext.find_first_of(u".\\:", 1) == ext.npos));
    const auto bare = NameWithoutExt(s);
    ASSERT_EQ(name.compare(0, bare.size(), bare), 0);
    if (name.find(u'.') != name.npos) {
      ASSERT_EQ(bare + u"." + ext.substr(1), name);
    }

    const auto folderOf = FolderOf(s);
    ASSERT_EQ(s.compare(0, folderOf.size(), folderOf), 0);
    const auto trimmed = ExcludeTrailingSeparator(s);
    ASSERT_EQ(s.compare(0, trimmed.size(), trimmed), 0);
    ASSERT_LE(s.size() - trimmed.size(), 1u);
    const auto dot = LastCharPos(u".", s);
    ASSERT_TRUE(dot == 0 || s[dot - 1] == u'.');
    ClassifyDrive(s);
    ErrorBoxText(s);

    IsValidName(s);
    IsValidExt(s);
    for (const auto kind : {ItemKind::File, ItemKind::Folder, ItemKind::Missing}) {
      const auto fields = LoadedFieldsFor(kind, s);
      const auto state = EvaluateFields(kind, fields.name, fields.ext);
      ASSERT_EQ(state.decided, kind != ItemKind::Missing);
      if (kind == ItemKind::Folder) {
        ASSERT_EQ(state.okEnabled, !fields.name.empty() && IsValidName(fields.name));
      }
    }
    EvaluateFields(ItemKind::File, s, s);

    for (const auto& arg : SplitCommandLine(s)) {
      ASSERT_FALSE(arg.empty());
      ASSERT_EQ(arg.find(u'\0'), arg.npos);
    }

    const auto payload = HandOffPayload(s);
    const auto parsed =
        ParseHandOff(payload.data(), static_cast<std::uint32_t>(payload.size() * 2));
    const auto text = s.substr(0, s.find(u'\0'));
    if (text.empty()) {
      ASSERT_EQ(parsed, std::nullopt);
    } else {
      ASSERT_EQ(parsed, text);
    }

    for (const std::size_t caret : {std::size_t{0}, std::size_t{1}, s.size() / 2, s.size() + 1}) {
      const std::size_t i = NormalizeCaret(s, caret);
      ASSERT_LE(i, s.size());
      const auto menu = EditMenuFor(EditFieldView{s, caret, s}, false);
      ASSERT_EQ(ApplyCaretCommand(CaretCommand::CutBefore, s, caret).applies, menu.cutBefore);
      ASSERT_EQ(ApplyCaretCommand(CaretCommand::CutAfter, s, caret).applies, menu.cutAfter);
      const auto before = ApplyCaretCommand(CaretCommand::CopyBefore, s, caret);
      const auto after = ApplyCaretCommand(CaretCommand::CopyAfter, s, caret);
      const auto xch = ApplyCaretCommand(CaretCommand::Xch, s, caret);
      ASSERT_EQ(xch.applies, menu.xch);
      ASSERT_TRUE(!before.applies || before.clip + before.text == s);
      ASSERT_TRUE(!after.applies || after.text + after.clip == s);
      ASSERT_TRUE(!xch.applies || xch.text == s.substr(i) + s.substr(0, i));
      ASSERT_EQ(InsertedAtCaret(s, caret, u"x"), s.substr(0, i) + u"x" + s.substr(i));
    }
  }
}

} // namespace
} // namespace tavu
