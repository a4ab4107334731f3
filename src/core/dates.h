#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace tavu {

// A day of the proleptic Gregorian calendar.
struct CivilDate {
  int year = 0;
  int month = 0; // 1..12
  int day = 0;   // 1..31
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// The day a zero date-time value stands for; shown for a time stamp that cannot be read.
inline constexpr CivilDate kZeroDate{1899, 12, 30};

// The two caption patterns: Japanese year, month and day marks, or hyphens.
enum class DateStyle { Kanji, Hyphen };
// The pattern itself, "yyyy年mm月dd日" or "yyyy-mm-dd".
std::u16string_view DatePatternText(DateStyle style);
// The date in the pattern: year in at least four digits, month and day in two,
// with leading zeros; the same in every locale.
std::u16string FormatDate(const CivilDate& date, DateStyle style);

// Where the date of the date item PPDate1..6 comes from.
enum class DateSource { Today, LastWrite, Creation };
// Items 1 and 2: today; 3 and 4: last write; 5 and 6: creation.
DateSource DateSourceOfItem(int item);
// Odd items: the Japanese marks; even items: hyphens.
DateStyle DateStyleOfItem(int item);

// Captions of PPDate1..6 (index 0..5) and their shared visibility.
struct DateMenu {
  bool visible = false;
  std::array<std::u16string, 6> captions;
};
// The date items for the current item: hidden with the bare patterns when it
// exists as neither file nor folder; else each caption formatted. `dateOf` is
// asked for today once per item and for a time stamp once per pair, in item
// order; whatever it throws passes through.
DateMenu DateMenuFor(bool itemExists, const std::function<CivilDate(DateSource)>& dateOf);

} // namespace tavu
