#include "core/dates.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace tavu {
namespace {

// 100-ns ticks since 1601 of some UTC instants, worked out independently of the code.
constexpr FileTicks k2024Jan01At2000 = 133486128000000000ull;
constexpr FileTicks k2024Feb29At235959 = 133537247990000000ull;
constexpr FileTicks k2024Mar01At0300 = 133537356000000000ull;
constexpr FileTicks k2000Feb29At1200 = 125962992000000000ull;
constexpr FileTicks k2100Mar01 = 157520160000000000ull;

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

TEST(Dates, CivilDateOfTicksAcrossLeapYears) {
  const std::pair<FileTicks, std::optional<CivilDate>> rows[] = {
      {0, CivilDate{1601, 1, 1}},
      {k2000Feb29At1200, CivilDate{2000, 2, 29}},
      {k2024Feb29At235959, CivilDate{2024, 2, 29}},
      {k2024Feb29At235959 + 10000000, CivilDate{2024, 3, 1}},
      {k2100Mar01 - 1, CivilDate{2100, 2, 28}},
      {0x7FFFFFFFFFFFFFFFull, CivilDate{30828, 9, 14}},
      {0x8000000000000000ull, std::nullopt},
  };
  for (const auto& [ticks, date] : rows)
    EXPECT_EQ(CivilDateOfTicks(ticks), date) << ticks;
}

TEST(Dates, LocalDateCrossesTheDateLine) {
  const std::tuple<FileTicks, std::optional<std::int32_t>, CivilDate> rows[] = {
      {k2024Jan01At2000, 540, {2024, 1, 2}},
      {k2024Jan01At2000, 239, {2024, 1, 1}},
      {k2024Jan01At2000, 240, {2024, 1, 2}},
      {k2024Mar01At0300, -300, {2024, 2, 29}},
      {k2024Mar01At0300, -180, {2024, 3, 1}},
      {k2024Jan01At2000, std::nullopt, kZeroDate},
      {0, -60, kZeroDate},
      {0x7FFFFFFFFFFFFFFFull, 60, kZeroDate},
  };
  for (const auto& [utc, offset, date] : rows)
    EXPECT_EQ(LocalDateOfFileTime(utc, [&](FileTicks) { return offset; }), date) << utc;
  // The offset is asked for the instant itself, as a zone with summer time needs.
  const auto summer = [](FileTicks utc) { return utc >= k2024Jan01At2000 ? 300 : 0; };
  EXPECT_EQ(LocalDateOfFileTime(k2024Jan01At2000 - 1, summer), (CivilDate{2024, 1, 1}));
  EXPECT_EQ(LocalDateOfFileTime(k2024Jan01At2000, summer), (CivilDate{2024, 1, 2}));
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
