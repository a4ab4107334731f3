#include "core/commit.h"

#include <gtest/gtest.h>

#include <string>

namespace tavu {
namespace {

TEST(Commit, NewPathAndRenameLine) {
  EXPECT_EQ(NewPathFor(true, u"C:\\d\\a.txt", u"b", u"txt"), u"C:\\d\\b.txt");
  EXPECT_EQ(NewPathFor(true, u"C:\\d\\a.txt", u"b", u""), u"C:\\d\\b.");
  EXPECT_EQ(NewPathFor(false, u"C:\\d\\x.y", u"z", u"y"), u"C:\\d\\z");
  EXPECT_EQ(RenameLine(u"C:\\d\\a.txt", u"C:\\d\\b.txt"), u"C:\\d\\a.txt->C:\\d\\b.txt");
}

TEST(Commit, ANameTheSystemReadsAsTheOldOneIsUnchanged) {
  const struct {
    const char16_t* oldPath;
    const char16_t* newPath;
    bool unchanged;
  } rows[] = {
      {u"C:\\d\\a.txt", u"C:\\d\\a.txt", true},
      {u"C:\\d\\README", u"C:\\d\\README.", true},
      {u"C:\\d\\a.txt", u"C:\\d\\a.txt. . ", true},
      {u"C:\\d\\x", u"C:\\d\\x ", true},
      {u"C:\\README", u"C:README.", false},
      {u"C:\\d\\README", u"C:\\d\\readme.", false}, // a change of case is a rename
      {u"C:\\d\\a", u"C:\\d\\a.b", false},
      {u"C:\\d\\a", u"C:\\d\\ a", false},
      {u"C:\\d\\a", u"C:\\d\\a.a", false},
      {u"C:\\d", u"C:\\d\\.", false},
      {u"C:\\d\\", u"C:\\d\\. ", false},
      {u"C:\\d.\\a", u"C:\\d\\a.", false}, // only the last component loses its periods
  };
  for (std::size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(LeavesNameUnchanged(rows[i].oldPath, rows[i].newPath), rows[i].unchanged)
        << "row " << i;
}

TEST(Commit, DestinationAndTransferLine) {
  EXPECT_EQ(DestinationFor(u"E:\\", u"C:\\d\\b.txt"), u"E:\\b.txt");
  EXPECT_EQ(DestinationFor(u"E:\\t", u"C:\\d\\b.txt"), u"E:\\t\\b.txt");
  const auto line = [](TransferMode mode, TransferOutcome outcome) {
    return TransferLine(u"C:\\d\\b.txt", u"E:\\t\\b.txt", mode, outcome);
  };
  EXPECT_EQ(line(TransferMode::Copy, TransferOutcome::Stopped),
            u"C:\\d\\b.txt -> E:\\t\\b.txt コピー中止");
  EXPECT_EQ(line(TransferMode::Move, TransferOutcome::Failed),
            u"C:\\d\\b.txt -> E:\\t\\b.txt 移動失敗");
  EXPECT_EQ(line(TransferMode::Copy, TransferOutcome::Done),
            u"C:\\d\\b.txt -> E:\\t\\b.txt コピー");
}

TEST(Commit, TimeStampDropsTheTimeOnlyAtMidnight) {
  EXPECT_EQ(LogStamp(u"2024/01/02", u"0:00:00", true), u"2024/01/02");
  EXPECT_EQ(LogStamp(u"2024/01/02", u"0:00:01", false), u"2024/01/02 0:00:01");
  EXPECT_EQ(LogLine(u"2024/01/02", u"a->b"), u"2024/01/02 a->b");
}

} // namespace
} // namespace tavu
