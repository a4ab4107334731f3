#include "core/dates.h"

namespace tavu {

namespace {

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
