// The text of a date caption: any date at all, and every real day a file
// time can stand for.
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
  const std::uint64_t bits = Take64(in);
  const std::uint16_t low = in.Word(), high = in.Word();
  const auto third = static_cast<std::int32_t>(static_cast<std::uint32_t>(high) << 16 | low);

  // Any date, however unreal, formats to digits in the pattern.
  CheckText({static_cast<int>(bits), third, static_cast<int>(bits >> 32)});

  // Every day of the years a file time reaches (1601 to 30828), as the
  // platform's conversion gives them.
  constexpr std::uint64_t kYears = 30828 - 1601 + 1;
  CivilDate day{1601 + static_cast<int>(bits % kYears), 1 + static_cast<int>(bits / kYears % 12),
                1};
  day.day = 1 + static_cast<int>(bits / kYears / 12 %
                                 static_cast<std::uint64_t>(DaysIn(day.year, day.month)));
  FUZZ_CHECK(IsValid(day));
  CheckText(day);
  return 0;
}
