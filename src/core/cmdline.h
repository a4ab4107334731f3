#pragma once
#include <string>
#include <vector>

namespace tavu {

// Splits a raw command line into its arguments, the program's own name first.
// U+0001..U+0020 separate; a pair of quotes at the start of an argument is
// skipped; a quote opens a stretch up to the next quote or the end in which
// separators are ordinary; the quotes are dropped; there is no escape
// character; the first argument that comes out empty ends the list.
std::vector<std::u16string> SplitCommandLine(const std::u16string& line);

} // namespace tavu
