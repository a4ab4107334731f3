// File times as a disk may hold them (any 64 bits) and any time-zone offset:
// the date of the caption, and its text.
#include "core/dates.h"
#include "fuzz.h"

#include <cstdint>
#include <limits>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

bool IsValid(const CivilDate& d) {
  return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= DaysIn(d.year, d.month);
}

CivilDate NextDay(CivilDate d) {
  if (++d.day > DaysIn(d.year, d.month)) {
    d.day = 1;
    if (++d.month > 12) {
      d.month = 1;
      ++d.year;
    }
  }
  return d;
}

std::uint64_t Take64(Reader& in) {
  std::uint64_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint64_t>(in.Word()) << (16 * i);
  return v;
}

// The number in decimal, at least `width` digits; a negative one shows as 0.
std::u16string Padded(int value, std::size_t width) {
  const auto digits = std::to_string(value < 0 ? 0 : value);
  std::u16string out(digits.size() < width ? width - digits.size() : 0, u'0');
  return out.append(digits.begin(), digits.end());
}

void CheckText(const CivilDate& date) {
  const auto body = [&](char16_t first, char16_t second) {
    return Padded(date.year, 4) + first + Padded(date.month, 2) + second + Padded(date.day, 2);
  };
  const auto kanji = FormatDate(date, DateStyle::Kanji);
  const auto hyphen = FormatDate(date, DateStyle::Hyphen);
  FUZZ_CHECK(kanji == body(u'年', u'月') + u'日');
  FUZZ_CHECK(hyphen == body(u'-', u'-'));
  // A real date of four-digit years fills its pattern exactly.
  if (IsValid(date) && date.year <= 9999) {
    FUZZ_CHECK(kanji.size() == DatePatternText(DateStyle::Kanji).size());
    FUZZ_CHECK(hyphen.size() == DatePatternText(DateStyle::Hyphen).size());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const FileTicks ticks = Take64(in);
  const std::uint16_t low = in.Word(), high = in.Word();
  const auto offset = static_cast<std::int32_t>(static_cast<std::uint32_t>(high) << 16 | low);
  const bool knownOffset = in.Byte() != 0;

  const auto date = CivilDateOfTicks(ticks);
  constexpr auto kMax = static_cast<FileTicks>(std::numeric_limits<std::int64_t>::max());
  FUZZ_CHECK(date.has_value() == (ticks <= kMax));
  if (date) {
    FUZZ_CHECK(IsValid(*date) && date->year >= 1601);
    CheckText(*date);
    // One day later is the next day on the calendar.
    if (ticks <= kMax - kTicksPerDay)
      FUZZ_CHECK(CivilDateOfTicks(ticks + kTicksPerDay) == NextDay(*date));
    // The day changes only at midnight.
    const FileTicks midnight = ticks - ticks % kTicksPerDay;
    FUZZ_CHECK(CivilDateOfTicks(midnight) == date);
    if (midnight > 0)
      FUZZ_CHECK(NextDay(*CivilDateOfTicks(midnight - 1)) == *date);
  }

  int asked = 0;
  const auto local = LocalDateOfFileTime(ticks, [&](FileTicks utc) -> std::optional<std::int32_t> {
    ++asked;
    FUZZ_CHECK(utc == ticks);
    if (!knownOffset)
      return std::nullopt;
    return offset;
  });
  FUZZ_CHECK(IsValid(local));
  // The local date is that of the shifted time whenever the shift stays in range.
  const __int128 shifted = static_cast<__int128>(ticks) + static_cast<__int128>(offset) * 600000000;
  if (!date || !knownOffset || shifted < 0 || shifted > static_cast<__int128>(kMax))
    FUZZ_CHECK(local == kZeroDate);
  else
    FUZZ_CHECK(local == *CivilDateOfTicks(static_cast<FileTicks>(shifted)));
  FUZZ_CHECK(asked == (date ? 1 : 0));

  // Any date, however unreal, formats to digits in the pattern.
  CheckText({static_cast<int>(ticks), offset, static_cast<int>(ticks >> 32)});
  return 0;
}
