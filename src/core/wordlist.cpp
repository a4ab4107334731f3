#include "core/wordlist.h"

namespace tavu {

Utf8Census CountUtf8(std::string_view bytes) {
  Utf8Census census;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i++]);
    if (b < 0x80)
      continue;
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
      ++census.broken;
      continue;
    }
    // A byte that cannot continue the sequence breaks it and starts over on its own.
    for (; trail > 0 && i < bytes.size(); --trail, ++i) {
      const auto t = static_cast<unsigned char>(bytes[i]);
      if (t < lower || t > upper)
        break;
      lower = 0x80;
      upper = 0xBF;
    }
    ++(trail == 0 ? census.valid : census.broken);
  }
  return census;
}

// The encoding a word list's bytes are read in.
TextEncoding WordListEncoding(std::string_view bytes) {
  const TextEncoding marked = DetectEncoding(bytes);
  if (marked != TextEncoding::Ansi)
    return marked;
  // Text in a legacy code page forms a valid sequence now and then (two
  // half-width katakana can), but breaks far more than it forms; a UTF-8
  // file keeps its text with a stray bad byte or a line pasted from
  // elsewhere. Eight valid sequences for each broken one tell them apart.
  const Utf8Census census = CountUtf8(bytes);
  return census.valid > 0 && census.broken * 8 <= census.valid ? TextEncoding::Utf8
                                                               : TextEncoding::Ansi;
}

// The entries of a word list's bytes.
std::vector<std::u16string> WordListEntries(std::string_view bytes, const CodePage& ansi) {
  return SplitLines(DecodeText(bytes, WordListEncoding(bytes), ansi));
}

} // namespace tavu
