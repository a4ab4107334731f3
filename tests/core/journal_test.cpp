#include "core/journal.h"

#include "core/listfile.h"

#include <gtest/gtest.h>

#include <string>

namespace tavu {
namespace {

UndoStep Rename(std::u16string from, std::u16string to, std::uint64_t index = 7) {
  return {StepKind::Rename, std::move(from), std::move(to), {0x1234ABCD, index}, 0, 0};
}
UndoStep Move(std::u16string from, std::u16string to, std::uint64_t index = 7) {
  return {StepKind::Move, std::move(from), std::move(to), {0x1234ABCD, index}, 0, 0};
}
UndoStep Copy(std::u16string from, std::u16string to) {
  return {StepKind::Copy, std::move(from), std::move(to), {5, 99}, 12, 133000000000000000};
}

TEST(Journal, AnEntryIsOneLineOfUtf8AndReadsBackExactly) {
  // A tab, a percent sign, a lone surrogate and a pair: names the file
  // system may hold, and the line must carry.
  const std::u16string odd = u"C:\\d\\a\t%\xD800\U0001F600名.txt";
  const UndoEntry entry{
      {Rename(u"C:\\d\\x.txt", odd), Copy(odd, u"\\\\srv\\s\\a\t%\xD800\U0001F600名.txt")}};
  EXPECT_EQ(EntryLine(entry),
            u"R\tC:\\d\\x.txt\tC:\\d\\a%0009%0025%D800\U0001F600名.txt\t305441741\t7\t"
            u"C\tC:\\d\\a%0009%0025%D800\U0001F600名.txt\t\\\\srv\\s\\a%0009%0025%D800\U0001F600名"
            u".txt\t5\t99\t12\t133000000000000000");
  const UndoJournal journal{entry, UndoEntry{{Move(u"C:\\a", u"E:\\a")}}};
  const std::string bytes = JournalBytes(journal);
  EXPECT_TRUE(bytes.ends_with("\r\nM\tC:\\a\tE:\\a\t305441741\t7\r\n"));
  EXPECT_EQ(bytes.find("\xEF\xBB\xBF"), std::string::npos);
  EXPECT_EQ(ParseJournal(bytes), journal);
  // An editor's byte-order mark and lone line ends do no harm.
  EXPECT_EQ(ParseJournal("\xEF\xBB\xBF" + EncodeUtf8(EntryLine(entry)) +
                         "\n\rM\tC:\\a\tE:\\a\t305441741\t2"),
            (UndoJournal{entry, UndoEntry{{Move(u"C:\\a", u"E:\\a", 2)}}}));
}

TEST(Journal, ADamagedLineIsSkippedAndTheOthersStay) {
  const std::string good = "R\tC:\\d\\a\tC:\\d\\b\t1\t2";
  const char* const damaged[] = {
      "X\tC:\\d\\a\tC:\\d\\b\t1\t2",                    // no such step
      "R\tC:\\d\\a\tC:\\d\\b\t1",                       // a field short
      "R\tC:\\d\\a\tC:\\d\\b\t1\t2\t",                  // one too many
      "R\tC:\\d\\a\tC:\\d\\b\t01\t2",                   // not as written
      "R\tC:\\d\\a\tC:\\d\\b\t4294967296\t2",           // volume past 32 bits
      "R\tC:\\d\\a\tC:\\d\\b\t1\t18446744073709551616", // index past 64 bits
      "R\tC:\\d\\a\x01\tC:\\d\\b\t1\t2",                // a control character unescaped
      "R\tC:\\d\\a%00\tC:\\d\\b\t1\t2",                 // an escape cut short
      "R\tC:\\d\\a%0000\tC:\\d\\b\t1\t2",               // a NUL would cut the path
      "R\td\\a\tC:\\d\\b\t1\t2",                        // not a full path
      "R\t\\\\srv\tC:\\d\\b\t1\t2",
      "R\tC:\\d\\a\tC:\\e\\b\t1\t2",                           // a rename into another folder
      "R\tC:\\d\\a\tC:\\d\\a\t1\t2",                           // no change
      "M\tC:\\d\\a\tE:\\t\\b\t1\t2",                           // a move that changes the name
      "R\tC:\\d\\a\tC:\\d\\b\t1\t2\tM\tC:\\d\\c\tE:\\c\t1\t2", // a move not of the renamed
      "M\tC:\\d\\b\tE:\\b\t1\t2\tR\tE:\\b\tE:\\c\t1\t2",       // a rename after the move
      "",
      "R\tC:\\d\\\xE9\tC:\\d\\b\t1\t2",         // not UTF-8
      "R\tC:\\d\\\xED\xA0\x80\tC:\\d\\b\t1\t2", // an encoded surrogate
  };
  for (const char* line : damaged) {
    const auto journal = ParseJournal(good + "\r\n" + line + "\r\n" + good + "\r\n");
    EXPECT_EQ(journal.size(), 2u) << line;
  }
}

TEST(Journal, KeepsTheNewestHundredAndReadsNoMoreThanItsLimit) {
  UndoJournal journal;
  for (std::uint64_t i = 0; i < 150; ++i)
    InsertEntry(journal, UndoEntry{{Rename(u"C:\\a", u"C:\\b", i)}});
  ASSERT_EQ(journal.size(), 100u);
  EXPECT_EQ(journal.front().steps[0].identity.index, 149u);
  EXPECT_EQ(journal.back().steps[0].identity.index, 50u);

  std::string bytes;
  for (std::uint64_t i = 0; i < 150; ++i)
    bytes += EncodeUtf8(EntryLine(UndoEntry{{Rename(u"C:\\a", u"C:\\b", i)}})) + "\r\n";
  EXPECT_EQ(ParseJournal(bytes).size(), 100u);

  // Past the limit nothing is read, and a line cut there is not taken for whole.
  const std::string line = "R\tC:\\d\\a\tC:\\d\\b\t1\t2\r\n";
  std::string huge(kJournalMaxBytes - line.size() - 3, 'x');
  huge += "\r\n" + line + "R\tC:\\d\\a\tC:\\d\\b\t1\t23\r\n";
  const auto read = ParseJournal(huge);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].steps[0].identity.index, 2u);
}

TEST(Journal, AMoveOrCopyJoinsTheEntryOfItsRename) {
  UndoJournal journal{UndoEntry{{Move(u"C:\\old", u"E:\\old")}}};
  const auto opened = RecordStep(journal, std::nullopt, Rename(u"C:\\d\\a", u"C:\\d\\b"));
  ASSERT_TRUE(opened);
  // Another window's OK came in between: this OK's entry still gets its step
  // and, done last, is the newest.
  InsertEntry(journal, UndoEntry{{Rename(u"C:\\x\\1", u"C:\\x\\2")}});
  const auto joined = RecordStep(journal, opened, Copy(u"C:\\d\\b", u"E:\\t\\b"));
  const UndoEntry both{{Rename(u"C:\\d\\a", u"C:\\d\\b"), Copy(u"C:\\d\\b", u"E:\\t\\b")}};
  EXPECT_EQ(joined, both);
  EXPECT_EQ(journal, (UndoJournal{both, UndoEntry{{Rename(u"C:\\x\\1", u"C:\\x\\2")}},
                                  UndoEntry{{Move(u"C:\\old", u"E:\\old")}}}));
  // An OK whose name stayed (no rename) makes an entry of its move alone.
  EXPECT_EQ(RecordStep(journal, std::nullopt, Move(u"C:\\d\\c", u"E:\\c")),
            UndoEntry{{Move(u"C:\\d\\c", u"E:\\c")}});
  // A step no entry may hold is not recorded.
  EXPECT_FALSE(RecordStep(journal, std::nullopt, Rename(u"C:\\d\\c", u"C:\\d\\c")));
  EXPECT_EQ(journal.size(), 4u);

  const UndoEntry renameLeft{{Rename(u"C:\\d\\a", u"C:\\d\\b", 8)}};
  ReplaceEntry(journal, both, renameLeft);
  EXPECT_EQ(journal[1], renameLeft);
  ReplaceEntry(journal, both, UndoEntry{}); // no longer there: nothing changes
  EXPECT_EQ(journal.size(), 4u);
  ReplaceEntry(journal, renameLeft, UndoEntry{});
  EXPECT_EQ(journal.size(), 3u);
}

} // namespace
} // namespace tavu
