#include "core/progress.h"

#include <gtest/gtest.h>

namespace tavu {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(Progress, BytesReadAsPeopleReadThem) {
  const struct {
    std::uint64_t bytes;
    const char16_t* text;
  } rows[] = {
      {0, u"0 バイト"},
      {1023, u"1023 バイト"},
      {1024, u"1.0 KB"},
      {1535, u"1.4 KB"},
      {1536, u"1.5 KB"},
      {kMiB - 1, u"1023.9 KB"},
      {kMiB, u"1.0 MB"},
      {5 * kMiB + kMiB / 2, u"5.5 MB"},
      {3 * 1024 * kMiB, u"3.0 GB"},
      {5000 * 1024 * kMiB, u"5000.0 GB"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ByteSize(r.bytes), r.text) << r.bytes;
}

TEST(Progress, TheBarFollowsTheBytesThenTheFilesAndWaitsForTheTotals) {
  const struct {
    ProgressFigures f;
    int permille;
  } rows[] = {
      {{.doneBytes = 5, .totalBytes = 10, .counted = false}, -1},
      {{.doneBytes = 0, .totalBytes = 10, .counted = true}, 0},
      {{.doneBytes = 1, .totalBytes = 3, .counted = true}, 333},
      {{.doneBytes = 3 * 1024 * kMiB, .totalBytes = 4 * 1024 * kMiB, .counted = true}, 750},
      {{.doneBytes = 12, .totalBytes = 10, .counted = true}, 1000},
      // Empty files only: the files tell how far it is.
      {{.doneFiles = 1, .totalFiles = 4, .counted = true}, 250},
      {{.counted = true}, 0},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ProgressPermille(r.f), r.permille) << r.f.doneBytes << "/" << r.f.totalBytes;
}

TEST(Progress, CountsShowTheTotalsOnceKnown) {
  ProgressFigures f{.doneBytes = 1536, .totalBytes = 12 * kMiB, .doneFiles = 3, .totalFiles = 10};
  EXPECT_EQ(ProgressCounts(f), u"3 ファイル\u30001.5 KB");
  f.counted = true;
  EXPECT_EQ(ProgressCounts(f), u"3 / 10 ファイル\u30001.5 KB / 12.0 MB");
}

TEST(Progress, TheRemainingTimeComesFromThePaceSoFar) {
  const struct {
    ProgressFigures f;
    const char16_t* text;
  } rows[] = {
      // A quarter in 10 s: 30 s to go (and the second begun counts).
      {{.doneBytes = 25, .totalBytes = 100, .counted = true, .elapsedMs = 10000}, u"残り 約 31 秒"},
      {{.doneBytes = 10, .totalBytes = 100, .counted = true, .elapsedMs = 10000},
       u"残り 約 1 分 31 秒"},
      {{.doneBytes = 1, .totalBytes = 1000, .counted = true, .elapsedMs = 10000},
       u"残り 約 2 時間 46 分"},
      // Too early, nothing moved yet, unknown totals, or already there: nothing to tell.
      {{.doneBytes = 25, .totalBytes = 100, .counted = true, .elapsedMs = 999}, u""},
      {{.doneBytes = 0, .totalBytes = 100, .counted = true, .elapsedMs = 5000}, u""},
      {{.doneBytes = 25, .totalBytes = 100, .counted = false, .elapsedMs = 5000}, u""},
      {{.doneBytes = 100, .totalBytes = 100, .counted = true, .elapsedMs = 5000}, u""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(RemainingTime(r.f), r.text) << r.f.doneBytes << " in " << r.f.elapsedMs;
}

} // namespace
} // namespace tavu
