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
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(WordListEncoding(r.bytes), r.encoding);
  }
}

} // namespace
} // namespace tavu
