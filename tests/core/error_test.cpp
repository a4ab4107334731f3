#include "core/error.h"

#include <gtest/gtest.h>

#include <map>

namespace tavu {
namespace {

TEST(Error, BoxTextEndsWithPeriodAfterLetters) {
  const std::map<std::u16string, std::u16string> rows = {
      {u"", u""},
      {u"Access is denied", u"Access is denied."},
      {u"a", u"a."},
      {u"\u30A2\u30AF\u30BB\u30B9\u3067\u304D\u307E\u305B\u3093",
       u"\u30A2\u30AF\u30BB\u30B9\u3067\u304D\u307E\u305B\u3093."},
      {u"Done.", u"Done."},
      {u"Stop!", u"Stop!"},
      {u"Trailing ", u"Trailing "},
      {u"dash-", u"dash-"},    // U+002D, just below the period
      {u"slash/", u"slash/."}, // U+002F, just above it
      {u"emoji\U0001F600", u"emoji\U0001F600."},
  };
  for (const auto& [message, text] : rows)
    EXPECT_EQ(ErrorBoxText(message), text) << testing::PrintToString(message);
}

TEST(Error, ExceptionCarriesItsMessage) {
  try {
    throw Exception(u"Disk full");
  } catch (const std::exception& e) {
    ASSERT_NE(dynamic_cast<const Exception*>(&e), nullptr);
    EXPECT_EQ(static_cast<const Exception&>(e).Message(), u"Disk full");
  }
}

} // namespace
} // namespace tavu
