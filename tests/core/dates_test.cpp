#include "core/dates.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavu {
namespace {

TEST(Dates, PatternsInEveryLocale) {
  const std::tuple<CivilDate, std::u16string, std::u16string> rows[] = {
      {{2024, 3, 5}, u"2024年03月05日", u"2024-03-05"},
      {kZeroDate, u"1899年12月30日", u"1899-12-30"},
      {{999, 11, 1}, u"0999年11月01日", u"0999-11-01"},
      {{30828, 9, 14}, u"30828年09月14日", u"30828-09-14"},
  };
  for (const auto& [date, kanji, hyphen] : rows) {
    EXPECT_EQ(FormatDate(date, DateStyle::Kanji), kanji);
    EXPECT_EQ(FormatDate(date, DateStyle::Hyphen), hyphen);
  }
}

TEST(Dates, DateMenuForAnItem) {
  const DateMenu hidden = DateMenuFor(false, [](DateSource) -> CivilDate { throw 0; });
  EXPECT_FALSE(hidden.visible);
  EXPECT_EQ(hidden.captions[4], u"yyyy年mm月dd日");
  EXPECT_EQ(hidden.captions[5], u"yyyy-mm-dd");

  // Each reading gives a new day, so the captions show which reading each item used.
  std::vector<DateSource> asked;
  const DateMenu shown = DateMenuFor(true, [&](DateSource source) {
    asked.push_back(source);
    return CivilDate{2024, 1, static_cast<int>(asked.size())};
  });
  EXPECT_TRUE(shown.visible);
  EXPECT_EQ(asked, (std::vector<DateSource>{DateSource::Today, DateSource::Today,
                                            DateSource::LastWrite, DateSource::Creation}));
  const std::array<std::u16string, 6> want = {u"2024年01月01日", u"2024-01-02",
                                              u"2024年01月03日", u"2024-01-03",
                                              u"2024年01月04日", u"2024-01-04"};
  EXPECT_EQ(shown.captions, want);
}

} // namespace
} // namespace tavu
