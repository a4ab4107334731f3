#include "core/wordlist.h"

namespace tavu {

// True when the bytes are well-formed UTF-8 and hold at least one byte above 0x7F.
bool IsNonAsciiUtf8(std::string_view bytes) {
  bool beyondAscii = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    beyondAscii = true;
    int trail;
    unsigned char lower = 0x80, upper = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      trail = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      trail = 2;
      lower = b == 0xE0 ? 0xA0 : 0x80;
      upper = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
      trail = 3;
      lower = b == 0xF0 ? 0x90 : 0x80;
      upper = b == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (bytes.size() - i <= static_cast<std::size_t>(trail))
      return false;
    for (int k = 1; k <= trail; ++k) {
      const auto t = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      if (t < lower || t > upper)
        return false;
      lower = 0x80;
      upper = 0xBF;
    }
    i += static_cast<std::size_t>(trail) + 1;
  }
  return beyondAscii;
}

// The encoding a word list's bytes are read in.
TextEncoding WordListEncoding(std::string_view bytes) {
  const TextEncoding marked = DetectEncoding(bytes);
  if (marked != TextEncoding::Ansi)
    return marked;
  return IsNonAsciiUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Ansi;
}

// The entries of a word list's bytes.
std::vector<std::u16string> WordListEntries(std::string_view bytes, const CodePage& ansi) {
  return SplitLines(DecodeText(bytes, WordListEncoding(bytes), ansi));
}

} // namespace tavu
