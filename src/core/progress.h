#pragma once
#include <cstdint>
#include <string>

namespace tavu {

// The texts and the bar of the progress window of a long copy or move.

// What the copy or move has done so far, and for how long it has run.
struct ProgressFigures {
  std::uint64_t doneBytes = 0, totalBytes = 0;
  unsigned doneFiles = 0, totalFiles = 0;
  bool counted = false; // the totals are known
  std::uint64_t elapsedMs = 0;
};

// The bar's position in thousandths of the bytes (of the files, when there
// are no bytes to move); -1 while the totals are unknown.
int ProgressPermille(const ProgressFigures& f);
// Files and bytes done, of their totals once those are known:
// "3 / 10 ファイル　1.5 MB / 12.0 MB", or "3 ファイル　1.5 MB".
std::u16string ProgressCounts(const ProgressFigures& f);
// The time still to go at the pace so far, "残り 約 2 分 05 秒"; empty until
// that can be told (totals known, a second gone, some bytes moved).
std::u16string RemainingTime(const ProgressFigures& f);
// A size as people read it: "512 バイト", then KB, MB and GB with one decimal.
std::u16string ByteSize(std::uint64_t bytes);

} // namespace tavu
