// The list files (log, word list): any bytes read in each encoding, then the
// lines, the log's insertion, the word list's choice of encoding, and the
// way back to bytes.
#include "core/listfile.h"
#include "core/wordlist.h"
#include "fuzz.h"

#include <algorithm>
#include <vector>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

constexpr TextEncoding kEncodings[] = {TextEncoding::Ansi, TextEncoding::Utf8,
                                       TextEncoding::Utf16LE, TextEncoding::Utf16BE};

std::string_view MarkOf(TextEncoding encoding) {
  switch (encoding) {
  case TextEncoding::Utf8:
    return "\xEF\xBB\xBF";
  case TextEncoding::Utf16LE:
    return "\xFF\xFE";
  case TextEncoding::Utf16BE:
    return "\xFE\xFF";
  case TextEncoding::Ansi:
    break;
  }
  return {};
}

// Well-formed UTF-8 as the standard defines it: no overlong forms, no
// surrogates, nothing past U+10FFFF, no sequence cut short.
bool IsWellFormedUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int more;
    unsigned char low = 0x80, high = 0xBF;
    if (b < 0x80) {
      more = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      more = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      more = 2;
      low = b == 0xE0 ? 0xA0 : 0x80;
      high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3;
      low = b == 0xF0 ? 0x90 : 0x80;
      high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (s.size() - i - 1 < static_cast<std::size_t>(more))
      return false;
    for (int k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF))
        return false;
    }
    i += 1 + more;
  }
  return true;
}

// The text with each unpaired surrogate replaced, as UTF-8 must carry it.
std::u16string PairedOnly(const std::u16string& text) {
  std::u16string out = text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsHighSurrogate(out[i]) && i + 1 < out.size() && IsLowSurrogate(out[i + 1]))
      ++i;
    else if (IsHighSurrogate(out[i]) || IsLowSurrogate(out[i]))
      out[i] = u'\uFFFD';
  }
  return out;
}

std::size_t CountOf(std::u16string_view text, char16_t c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

void CheckDecoding(std::string_view bytes, TextEncoding encoding, const CodePage& ansi) {
  const std::u16string text = DecodeText(bytes, encoding, ansi);
  const auto mark = MarkOf(encoding);
  const std::string_view body = bytes.starts_with(mark) ? bytes.substr(mark.size()) : bytes;
  // No byte of a line break is ever swallowed by a damaged character next to
  // it, nor is one made up.
  std::size_t cr = 0, lf = 0;
  switch (encoding) {
  case TextEncoding::Ansi:
  case TextEncoding::Utf8:
    cr = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\r'));
    lf = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n'));
    break;
  case TextEncoding::Utf16LE:
  case TextEncoding::Utf16BE:
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
      const bool le = encoding == TextEncoding::Utf16LE;
      const char zero = body[le ? i + 1 : i], unit = body[le ? i : i + 1];
      cr += zero == 0 && unit == '\r';
      lf += zero == 0 && unit == '\n';
    }
    break;
  }
  FUZZ_CHECK(CountOf(text, u'\r') == cr);
  FUZZ_CHECK(CountOf(text, u'\n') == lf);

  // Back to bytes: exactly the bytes read whenever they were well formed, and
  // the same text again in any case.
  const std::string written = EncodeText(text, encoding, ansi);
  FUZZ_CHECK(DecodeText(written, encoding, ansi) == text);
  if (encoding != TextEncoding::Ansi)
    FUZZ_CHECK(DetectEncoding(written) == encoding);
  switch (encoding) {
  case TextEncoding::Ansi:
    FUZZ_CHECK(written == bytes);
    break;
  case TextEncoding::Utf8:
    FUZZ_CHECK(text.size() <= body.size());
    FUZZ_CHECK(PairedOnly(text) == text);
    FUZZ_CHECK((written.substr(mark.size()) == body) == IsWellFormedUtf8(body));
    break;
  case TextEncoding::Utf16LE:
  case TextEncoding::Utf16BE:
    FUZZ_CHECK(text.size() == (body.size() + 1) / 2);
    if (body.size() % 2 == 0)
      FUZZ_CHECK(written.substr(mark.size()) == body);
    else
      FUZZ_CHECK(text.back() == u'\uFFFD');
    break;
  }
  // UTF-8 resynchronizes at every byte that cannot continue a sequence: what
  // came before such a byte has no say in how the rest is read.
  if (encoding == TextEncoding::Utf8) {
    const std::size_t step = body.size() / 16 + 1;
    for (std::size_t i = 1; i < body.size(); i += step) {
      std::size_t at = i;
      while (at < body.size() && (static_cast<unsigned char>(body[at]) & 0xC0) == 0x80)
        ++at;
      // Each part behind a mark of its own, which keeps a mark inside it text.
      const auto head = DecodeText(std::string(mark).append(body.substr(0, at)), encoding, ansi);
      const auto tail = DecodeText(std::string(mark).append(body.substr(at)), encoding, ansi);
      FUZZ_CHECK(head + tail == text);
    }
  }
  // Through any other encoding the text comes back as that encoding can carry it.
  for (const auto other : kEncodings) {
    if (other == TextEncoding::Ansi)
      continue;
    const auto again = DecodeText(EncodeText(text, other, ansi), other, ansi);
    FUZZ_CHECK(again == (other == TextEncoding::Utf8 ? PairedOnly(text) : text));
  }
}

void CheckLines(const std::u16string& text, std::uint8_t limit) {
  const auto lines = SplitLines(text);
  std::u16string joined, bare;
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      ++breaks;
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
        ++i;
    } else {
      bare += text[i];
    }
  }
  const bool tail = !text.empty() && text.back() != u'\r' && text.back() != u'\n';
  FUZZ_CHECK(lines.size() == breaks + (tail ? 1 : 0));
  for (const auto& line : lines) {
    FUZZ_CHECK(line.find_first_of(u"\r\n") == std::u16string::npos);
    joined += line;
  }
  FUZZ_CHECK(joined == bare);
  const auto crlf = JoinLinesCrLf(lines);
  FUZZ_CHECK(crlf.size() == bare.size() + 2 * lines.size());
  FUZZ_CHECK(SplitLines(crlf) == lines);

  auto log = lines;
  InsertLogLine(log, u"new", limit);
  FUZZ_CHECK(log.size() == std::min<std::size_t>(lines.size() + 1, limit));
  if (limit > 0) {
    FUZZ_CHECK(log.front() == u"new");
    FUZZ_CHECK(std::equal(log.begin() + 1, log.end(), lines.begin()));
  }
}

// Code points beyond ASCII in a text, a surrogate pair counting once.
std::size_t NonAsciiCodePoints(std::u16string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
      ++i;
    n += text[i] >= 0x80;
  }
  return n;
}

void CheckWordListEncoding(std::string_view bytes, TextEncoding detected, const CodePage& ansi) {
  const TextEncoding chosen = WordListEncoding(bytes);
  const Utf8Census census = CountUtf8(bytes);
  // The census sees what the decoder makes of the bytes: one character for
  // each valid sequence, one U+FFFD for each broken one. (A mark of its own
  // in front keeps one that the bytes start with.)
  const std::string marked = std::string(MarkOf(TextEncoding::Utf8)).append(bytes);
  FUZZ_CHECK(census.valid + census.broken ==
             NonAsciiCodePoints(DecodeText(marked, TextEncoding::Utf8, ansi)));
  if (detected != TextEncoding::Ansi) {
    FUZZ_CHECK(chosen == detected);
    return;
  }
  // Well-formed UTF-8 beyond ASCII is always read as such, plain ASCII never,
  // and a text read as UTF-8 is valid in the great majority of its sequences.
  if (census.valid > 0 && IsWellFormedUtf8(bytes))
    FUZZ_CHECK(chosen == TextEncoding::Utf8);
  if (census.valid == 0)
    FUZZ_CHECK(chosen == TextEncoding::Ansi);
  if (chosen == TextEncoding::Utf8)
    FUZZ_CHECK(census.broken * 8 <= census.valid);
  else
    FUZZ_CHECK(chosen == TextEncoding::Ansi);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Latin1 latin1;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TextEncoding detected = DetectEncoding(bytes);
  if (detected == TextEncoding::Ansi) {
    for (const auto encoding : kEncodings)
      FUZZ_CHECK(encoding == TextEncoding::Ansi || !bytes.starts_with(MarkOf(encoding)));
  } else {
    FUZZ_CHECK(bytes.starts_with(MarkOf(detected)));
  }
  for (const auto encoding : kEncodings)
    CheckDecoding(bytes, encoding, latin1);
  CheckWordListEncoding(bytes, detected, latin1);
  const std::uint8_t limit = size > 0 ? data[0] : 100;
  CheckLines(DecodeText(bytes, detected, latin1), limit);
  return 0;
}
