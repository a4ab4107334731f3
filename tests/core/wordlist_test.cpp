#include "core/wordlist.h"

#include <gtest/gtest.h>

#include <string>

namespace tavu {
namespace {

TEST(WordList, EncodingFromTheMarkOrTheBytes) {
  const struct {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
  } rows[] = {
      {"empty", "", TextEncoding::Ansi},
      {"ASCII only", "abc\r\n", TextEncoding::Ansi},
      {"UTF-8 mark",
       "\xEF\xBB\xBF"
       "abc",
       TextEncoding::Utf8},
      {"UTF-16 LE mark",
       "\xFF\xFE"
       "a\0",
       TextEncoding::Utf16LE},
      {"UTF-16 BE mark", "\xFE\xFF\0a", TextEncoding::Utf16BE},
      {"lone UTF-8 mark", "\xEF\xBB\xBF", TextEncoding::Utf8},
      {"UTF-8 without a mark", "\xE6\x97\xA5\xE4\xBB\x98", TextEncoding::Utf8},
      {"four-byte form", "\xF0\x9F\x98\x80", TextEncoding::Utf8},
      {"code page 932 (日付)", "\x93\xFA\x95\x74", TextEncoding::Ansi},
      {"cut at the end", "a\xE6\x97", TextEncoding::Ansi},
      {"overlong slash", "\xC0\xAF", TextEncoding::Ansi},
      {"overlong three-byte", "\xE0\x80\xAF", TextEncoding::Ansi},
      {"encoded surrogate", "\xED\xA0\x80", TextEncoding::Ansi},
      {"past U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::Ansi},
      {"stray continuation", "\x80", TextEncoding::Ansi},
      {"valid then invalid", "\xC3\xA9\xFF", TextEncoding::Ansi},
      // One bad byte no longer spoils a list of words in UTF-8: eight valid
      // sequences carry one broken sequence, seven do not.
      {"eight words and a bad byte",
       "\xE6\x97\xA5\xE4\xBB\x98\r\n\xE6\xA1\x88\xE4\xBB\xB6\xFF\r\n"
       "\xE4\xBC\x9A\xE8\xAD\xB0\r\n\xE5\xA0\xB1\xE5\x91\x8A\r\n",
       TextEncoding::Utf8},
      {"seven and a bad byte",
       "\xE6\x97\xA5\xE4\xBB\x98\r\n\xE6\xA1\x88\xE4\xBB\xB6\xFF\r\n"
       "\xE4\xBC\x9A\xE8\xAD\xB0\r\n\xE5\xA0\xB1\r\n",
       TextEncoding::Ansi},
      {"eight and a sequence cut short",
       "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xE6\x97",
       TextEncoding::Utf8},
      // Half-width katakana in code page 932 (テストデータ) form two valid
      // sequences and break three.
      {"code page 932 half-width", "\xC3\xBD\xC4\xC3\xDE\xB0\xC0", TextEncoding::Ansi},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(WordListEncoding(r.bytes), r.encoding);
  }
}

} // namespace
} // namespace tavu
