#include "core/listfile.h"

namespace tavu {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";
constexpr char32_t kReplacement = 0xFFFD;

std::string_view MarkOf(TextEncoding encoding) {
  switch (encoding) {
  case TextEncoding::Utf8:
    return kUtf8Mark;
  case TextEncoding::Utf16LE:
    return kUtf16LEMark;
  case TextEncoding::Utf16BE:
    return kUtf16BEMark;
  case TextEncoding::Ansi:
    break;
  }
  return {};
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

} // namespace

// Each maximal ill-formed subsequence becomes one U+FFFD, the way current
// platform converters and browsers agree on, so overlong forms, encoded
// surrogates and values past U+10FFFF never reach a path.
std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  char32_t cp = 0;
  int needed = 0;
  unsigned char lower = 0x80, upper = 0xBF;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (needed == 0) {
      ++i;
      if (b < 0x80) {
        out += static_cast<char16_t>(b);
      } else if (b >= 0xC2 && b <= 0xDF) {
        // Each lead sets both bounds: those of a sequence broken off before
        // its first continuation byte must not narrow the next one.
        lower = 0x80;
        upper = 0xBF;
        needed = 1;
        cp = b & 0x1F;
      } else if (b >= 0xE0 && b <= 0xEF) {
        lower = b == 0xE0 ? 0xA0 : 0x80;
        upper = b == 0xED ? 0x9F : 0xBF;
        needed = 2;
        cp = b & 0x0F;
      } else if (b >= 0xF0 && b <= 0xF4) {
        lower = b == 0xF0 ? 0x90 : 0x80;
        upper = b == 0xF4 ? 0x8F : 0xBF;
        needed = 3;
        cp = b & 0x07;
      } else {
        AppendCodePoint(out, kReplacement);
      }
      continue;
    }
    if (b < lower || b > upper) {
      // The byte that broke the sequence starts over on its own.
      needed = 0;
      AppendCodePoint(out, kReplacement);
      continue;
    }
    ++i;
    lower = 0x80;
    upper = 0xBF;
    cp = (cp << 6) | (b & 0x3F);
    if (--needed == 0)
      AppendCodePoint(out, cp);
  }
  if (needed != 0)
    AppendCodePoint(out, kReplacement);
  return out;
}

namespace {

// Code units are kept as they are, lone surrogates included: UTF-16 is the
// platform's own form, and a file name may hold them.
std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2 + 1);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    out += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  if (bytes.size() % 2 != 0)
    out += static_cast<char16_t>(kReplacement);
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

// UTF-8 cannot carry a lone surrogate; it is written as U+FFFD.
std::string EncodeUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (IsHigh(c) || IsLow(c)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

namespace {

std::string EncodeUtf16(const std::u16string& text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

} // namespace

// The encoding a leading byte-order mark names (UTF-8, then UTF-16 LE, then BE); Ansi without one.
TextEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Mark))
    return TextEncoding::Utf8;
  if (bytes.starts_with(kUtf16LEMark))
    return TextEncoding::Utf16LE;
  if (bytes.starts_with(kUtf16BEMark))
    return TextEncoding::Utf16BE;
  return TextEncoding::Ansi;
}

// The text of a whole file's bytes in the encoding; a leading mark of that encoding is skipped.
std::u16string DecodeText(std::string_view bytes, TextEncoding encoding, const CodePage& ansi) {
  const auto mark = MarkOf(encoding);
  if (!mark.empty() && bytes.starts_with(mark))
    bytes.remove_prefix(mark.size());
  switch (encoding) {
  case TextEncoding::Utf8:
    return DecodeUtf8(bytes);
  case TextEncoding::Utf16LE:
    return DecodeUtf16(bytes, false);
  case TextEncoding::Utf16BE:
    return DecodeUtf16(bytes, true);
  case TextEncoding::Ansi:
    break;
  }
  return ansi.Decode(bytes);
}

// The file's bytes for the text: ANSI without a mark, UTF-8 and UTF-16 with theirs.
std::string EncodeText(const std::u16string& text, TextEncoding encoding, const CodePage& ansi) {
  std::string out(MarkOf(encoding));
  switch (encoding) {
  case TextEncoding::Utf8:
    return out + EncodeUtf8(text);
  case TextEncoding::Utf16LE:
    return out + EncodeUtf16(text, false);
  case TextEncoding::Utf16BE:
    return out + EncodeUtf16(text, true);
  case TextEncoding::Ansi:
    break;
  }
  return ansi.Encode(text);
}

// The lines of a text: CR LF, a lone CR and a lone LF each end one; a break at the end adds none.
std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n')
      continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
      ++i;
    start = i + 1;
  }
  if (start < text.size())
    lines.emplace_back(text.substr(start));
  return lines;
}

// Every line followed by CR LF, the last one included.
std::u16string JoinLinesCrLf(const std::vector<std::u16string>& lines) {
  std::size_t size = 0;
  for (const auto& line : lines)
    size += line.size() + 2;
  std::u16string text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += u"\r\n";
  }
  return text;
}

void InsertLogLine(std::vector<std::u16string>& lines, std::u16string line, std::size_t limit) {
  InsertNewest(lines, std::move(line), limit);
}

// The error text of a list file that exists but cannot be opened for reading.
std::u16string CannotOpenText(const std::u16string& path, const std::u16string& systemMessage) {
  return u"ファイル " + path + u" は開けません。 " + systemMessage + u" ";
}

// The error text of a list file that cannot be created for writing.
std::u16string CannotCreateText(const std::u16string& path, const std::u16string& systemMessage) {
  return u"ファイル \"" + path + u"\" を作成できません。" + systemMessage;
}

} // namespace tavu
