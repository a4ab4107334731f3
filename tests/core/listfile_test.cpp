#include "core/listfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavu {
namespace {

using Lines = std::vector<std::u16string>;

// Latin-1 with "?" as its default character: enough to see the code page used.
struct FakeCodePage : CodePage {
  std::u16string Decode(std::string_view bytes) const override {
    std::u16string text;
    for (const char b : bytes)
      text += static_cast<unsigned char>(b);
    return text;
  }
  std::string Encode(const std::u16string& text) const override {
    std::string bytes;
    for (const char16_t c : text)
      bytes += c < 0x80 ? static_cast<char>(c) : '?';
    return bytes;
  }
} const kAnsi;

TEST(ListFile, InsertLogLineKeepsTheNewestHundred) {
  for (const std::size_t count : {0u, 99u, 100u, 150u}) {
    SCOPED_TRACE(count);
    Lines lines;
    for (std::size_t i = 0; i < count; ++i)
      lines.push_back(std::u16string(i + 1, u'.'));
    Lines expected{u"new"};
    expected.insert(expected.end(), lines.begin(),
                    lines.begin() + std::min<std::size_t>(count, 99));
    InsertLogLine(lines, u"new");
    EXPECT_EQ(lines, expected);
  }
}

TEST(ListFile, SplitAndJoinLines) {
  const struct {
    std::u16string text;
    Lines lines;
  } rows[] = {
      {u"", {}},
      {u"a\r\nb\r\n", {u"a", u"b"}},
      {u"a\rb\nc", {u"a", u"b", u"c"}},
      {u"a\r", {u"a"}},
      {u"a\n\r\nb\r\r", {u"a", u"", u"b", u""}},
      {u"\r\n", {u""}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.text));
    EXPECT_EQ(SplitLines(r.text), r.lines);
  }
  EXPECT_EQ(JoinLinesCrLf({}), u"");
  EXPECT_EQ(JoinLinesCrLf({u"a", u"", u"b"}), u"a\r\n\r\nb\r\n");
}

TEST(ListFile, UnicodeRoundTripsWithItsMark) {
  const std::u16string text = u"A\u00E9日本\U0001F600\r\n";
  const struct {
    TextEncoding encoding;
    std::string start; // the mark and the first character
  } rows[] = {
      {TextEncoding::Utf8, "\xEF\xBB\xBF\x41"},
      {TextEncoding::Utf16LE, std::string("\xFF\xFE\x41\0", 4)},
      {TextEncoding::Utf16BE, std::string("\xFE\xFF\0A", 4)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.encoding));
    const auto bytes = EncodeText(text, r.encoding, kAnsi);
    EXPECT_TRUE(bytes.starts_with(r.start));
    EXPECT_EQ(DetectEncoding(bytes), r.encoding);
    EXPECT_EQ(DecodeText(bytes, r.encoding, kAnsi), text);
  }
  EXPECT_EQ(DetectEncoding("\xEF\xBB"), TextEncoding::Ansi);
  EXPECT_EQ(DetectEncoding(""), TextEncoding::Ansi);
}

TEST(ListFile, BrokenInputBecomesReplacementCharacters) {
  const struct {
    std::string bytes;
    TextEncoding encoding;
    std::u16string text;
  } rows[] = {
      {"a\xE6\x97x", TextEncoding::Utf8, u"a\uFFFDx"},
      {"\xED\xA0\x80", TextEncoding::Utf8, u"\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80\xC3", TextEncoding::Utf8, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {std::string("\xFE\xFF\0A\xD8", 5), TextEncoding::Utf16BE, u"A\uFFFD"},
      // A sequence broken before its first continuation byte leaves the
      // next two-byte character whole.
      {"\xE0\xDF\x82", TextEncoding::Utf8, u"\uFFFD\u07C2"},
      {"\xF0\x41\xC3\x80", TextEncoding::Utf8, u"\uFFFDA\u00C0"},
      {"\xF4\x90\xDF\xBF", TextEncoding::Utf8, u"\uFFFD\uFFFD\u07FF"},
      {"\xED\xA0\xC2\xBF", TextEncoding::Utf8, u"\uFFFD\uFFFD\u00BF"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.bytes));
    EXPECT_EQ(DecodeText(r.bytes, r.encoding, kAnsi), r.text);
  }
  // A lone surrogate cannot be written as UTF-8.
  EXPECT_EQ(EncodeText(u"\xD800", TextEncoding::Utf8, kAnsi), "\xEF\xBB\xBF\xEF\xBF\xBD");
}

TEST(ListFile, AnsiGoesThroughTheCodePageWithoutMark) {
  EXPECT_EQ(EncodeText(u"a日", TextEncoding::Ansi, kAnsi), "a?");
  // The log never looks for a mark: its bytes are text.
  EXPECT_EQ(DecodeText("\xFF\xFEx", TextEncoding::Ansi, kAnsi), u"\u00FF\u00FEx");
}

TEST(ListFile, ErrorTexts) {
  EXPECT_EQ(CannotOpenText(u"C:\\d\\TAVU.log", u"msg"),
            u"ファイル C:\\d\\TAVU.log は開けません。 msg ");
  EXPECT_EQ(CannotCreateText(u"C:\\d\\TAVU.log", u"msg"),
            u"ファイル \"C:\\d\\TAVU.log\" を作成できません。msg");
}

} // namespace
} // namespace tavu
