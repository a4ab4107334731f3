#include "core/dates.h"

#include <limits>

namespace tavu {

namespace {

constexpr std::int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 to a civil date (H. Hinnant's algorithm, exact over the whole range).
CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

void AppendNumber(std::u16string& out, int value, int width) {
  std::u16string digits;
  unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v > 0);
  if (static_cast<int>(digits.size()) < width)
    out.append(static_cast<std::size_t>(width) - digits.size(), u'0');
  out += digits;
}

} // namespace

std::u16string_view DatePatternText(DateStyle style) {
  return style == DateStyle::Kanji ? u"yyyy年mm月dd日" : u"yyyy-mm-dd";
}

std::u16string FormatDate(const CivilDate& date, DateStyle style) {
  const bool kanji = style == DateStyle::Kanji;
  std::u16string out;
  AppendNumber(out, date.year, 4);
  out += kanji ? u'年' : u'-';
  AppendNumber(out, date.month, 2);
  out += kanji ? u'月' : u'-';
  AppendNumber(out, date.day, 2);
  if (kanji)
    out += u'日';
  return out;
}

std::optional<CivilDate> CivilDateOfTicks(FileTicks ticks) {
  if (ticks > static_cast<FileTicks>(std::numeric_limits<std::int64_t>::max()))
    return std::nullopt;
  return CivilFromDays(static_cast<std::int64_t>(ticks / kTicksPerDay) - kDaysFrom1601To1970);
}

CivilDate LocalDateOfFileTime(FileTicks utc, const UtcOffsetQuery& utcOffset) {
  if (!CivilDateOfTicks(utc))
    return kZeroDate;
  const std::optional<std::int32_t> offset = utcOffset ? utcOffset(utc) : std::nullopt;
  if (!offset)
    return kZeroDate;
  // Both terms stay far inside 64 bits: utc < 2^63 and |offset| < 2^31 minutes.
  const std::int64_t shift = static_cast<std::int64_t>(*offset) * 600000000;
  const std::int64_t base = static_cast<std::int64_t>(utc);
  if (shift > 0 && base > std::numeric_limits<std::int64_t>::max() - shift)
    return kZeroDate;
  const std::int64_t local = base + shift;
  return local < 0 ? kZeroDate : *CivilDateOfTicks(static_cast<FileTicks>(local));
}

DateSource DateSourceOfItem(int item) {
  if (item <= 2)
    return DateSource::Today;
  return item <= 4 ? DateSource::LastWrite : DateSource::Creation;
}

DateStyle DateStyleOfItem(int item) {
  return item % 2 == 1 ? DateStyle::Kanji : DateStyle::Hyphen;
}

DateMenu DateMenuFor(bool itemExists, const std::function<CivilDate(DateSource)>& dateOf) {
  DateMenu menu;
  menu.visible = itemExists;
  for (int item = 1; item <= 6; ++item)
    menu.captions[item - 1] = DatePatternText(DateStyleOfItem(item));
  if (!itemExists)
    return menu;
  CivilDate pairDate;
  for (int item = 1; item <= 6; ++item) {
    const DateSource source = DateSourceOfItem(item);
    // The clock is read afresh for each item; a pair of time stamps comes from one reading.
    if (source == DateSource::Today || item % 2 == 1)
      pairDate = dateOf(source);
    menu.captions[item - 1] = FormatDate(pairDate, DateStyleOfItem(item));
  }
  return menu;
}

} // namespace tavu
