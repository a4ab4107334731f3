#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/listfile.h"

namespace tavu {

// The word list: a text file kept by the user's editor, one entry per line.

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF) and hold at least one byte above 0x7F.
bool IsNonAsciiUtf8(std::string_view bytes);

// The encoding a word list's bytes are read in: the one a byte-order mark
// names; without one, UTF-8 when the bytes are UTF-8 beyond ASCII (today's
// editors save that by default), otherwise the ANSI code page.
TextEncoding WordListEncoding(std::string_view bytes);

// The entries of a word list's bytes, each line kept exactly (an empty line
// is an empty entry; a break at the very end adds none).
std::vector<std::u16string> WordListEntries(std::string_view bytes, const CodePage& ansi);

} // namespace tavu
