#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/listfile.h"

namespace tavu {

// The word list: a text file kept by the user's editor, one entry per line.

// The non-ASCII sequences of bytes read as UTF-8: those that form a character,
// and those broken (each maximal ill-formed part once, as the decoder puts
// one U+FFFD for it): overlong forms, surrogates, values past U+10FFFF,
// stray continuation bytes and sequences cut short.
struct Utf8Census {
  std::size_t valid = 0;
  std::size_t broken = 0;
};
Utf8Census CountUtf8(std::string_view bytes);

// The encoding a word list's bytes are read in: the one a byte-order mark
// names; without one, UTF-8 when the bytes are overwhelmingly UTF-8 beyond
// ASCII (today's editors save that by default; a stray bad byte becomes
// U+FFFD), otherwise the ANSI code page.
TextEncoding WordListEncoding(std::string_view bytes);

// The entries of a word list's bytes, each line kept exactly (an empty line
// is an empty entry; a break at the very end adds none).
std::vector<std::u16string> WordListEntries(std::string_view bytes, const CodePage& ansi);

} // namespace tavu
