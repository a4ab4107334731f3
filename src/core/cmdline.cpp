#include "core/cmdline.h"

namespace tavu {

// Splits a raw command line into its arguments, the program's own name first.
std::vector<std::u16string> SplitCommandLine(const std::u16string& line) {
  std::vector<std::u16string> args;
  // U+0000 ends the line wherever it appears, just as it would in the
  // NUL-terminated buffer the line comes from.
  const auto at = [&line](std::size_t i) -> char16_t { return i < line.size() ? line[i] : u'\0'; };
  const auto isBlank = [](char16_t c) { return c >= 0x0001 && c <= 0x0020; };

  std::size_t i = 0;
  for (;;) {
    // Shells quote an empty argument as "", which must not end the list
    // early; so pairs of quotes between arguments are skipped like blanks.
    for (;;) {
      while (isBlank(at(i)))
        ++i;
      if (at(i) == u'"' && at(i + 1) == u'"') {
        i += 2;
        continue;
      }
      break;
    }
    std::u16string arg;
    while (at(i) > 0x0020) {
      if (at(i) != u'"') {
        arg.push_back(line[i++]);
        continue;
      }
      // No escape character: paths such as "D:\" end in a backslash.
      ++i;
      while (at(i) != u'\0' && at(i) != u'"')
        arg.push_back(line[i++]);
      if (at(i) == u'"')
        ++i;
    }
    if (arg.empty())
      break;
    args.push_back(std::move(arg));
  }
  return args;
}

} // namespace tavu
