#include "core/progress.h"

#include <string>

namespace tavu {

namespace {

// Appends n in decimal, with leading zeros up to `width` digits.
void Put(std::u16string& out, std::uint64_t n, int width = 1) {
  char16_t digits[24];
  int i = 24;
  do {
    digits[--i] = static_cast<char16_t>(u'0' + n % 10);
    n /= 10;
  } while (n || 24 - i < width);
  out.append(digits + i, digits + 24);
}

void PutSize(std::u16string& out, std::uint64_t bytes) {
  if (bytes < 1024) {
    Put(out, bytes);
    out += u" バイト";
    return;
  }
  const char16_t* const units[] = {u" KB", u" MB", u" GB"};
  std::uint64_t unit = 1024;
  int i = 0;
  while (i < 2 && bytes >= unit * 1024) {
    unit *= 1024;
    ++i;
  }
  // Tenths, rounded down: a copy never claims a tenth more than it did.
  const std::uint64_t tenths = bytes / (unit / 1024) * 10 / 1024;
  Put(out, tenths / 10);
  out += u'.';
  Put(out, tenths % 10);
  out += units[i];
}

} // namespace

int ProgressPermille(const ProgressFigures& f) {
  if (!f.counted)
    return -1;
  std::uint64_t done = f.doneBytes, total = f.totalBytes;
  if (total == 0) {
    done = f.doneFiles;
    total = f.totalFiles;
  }
  if (total == 0)
    return 0;
  // Files that grew while they were copied must not push the bar past its end.
  return done >= total ? 1000 : static_cast<int>(done * 1000.0 / static_cast<double>(total));
}

std::u16string ProgressCounts(const ProgressFigures& f) {
  std::u16string out;
  Put(out, f.doneFiles);
  if (f.counted) {
    out += u" / ";
    Put(out, f.totalFiles);
  }
  out += u" ファイル\u3000";
  PutSize(out, f.doneBytes);
  if (f.counted) {
    out += u" / ";
    PutSize(out, f.totalBytes);
  }
  return out;
}

std::u16string RemainingTime(const ProgressFigures& f) {
  std::u16string out;
  if (!f.counted || f.elapsedMs < 1000 || f.doneBytes == 0 || f.doneBytes >= f.totalBytes)
    return out;
  const double ms = static_cast<double>(f.totalBytes - f.doneBytes) *
                    static_cast<double>(f.elapsedMs) / static_cast<double>(f.doneBytes);
  const auto s = static_cast<std::uint64_t>(ms / 1000.0) + 1;
  out = u"残り 約 ";
  if (s >= 3600) {
    Put(out, s / 3600);
    out += u" 時間 ";
    Put(out, s / 60 % 60, 2);
    out += u" 分";
    return out;
  }
  if (s >= 60) {
    Put(out, s / 60);
    out += u" 分 ";
  }
  Put(out, s % 60, s >= 60 ? 2 : 1);
  out += u" 秒";
  return out;
}

std::u16string ByteSize(std::uint64_t bytes) {
  std::u16string out;
  PutSize(out, bytes);
  return out;
}

} // namespace tavu
