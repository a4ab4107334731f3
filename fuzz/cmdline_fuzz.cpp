// Command-line splitting: any line, checked against what the rules promise
// of the arguments and against a line built back from them.
#include "core/cmdline.h"
#include "fuzz.h"

namespace {

using namespace tavu;
using namespace tavu::fuzz;

bool IsSeparator(char16_t c) {
  return c >= 0x0001 && c <= 0x0020;
}

std::u16string Joined(const std::vector<std::u16string>& args, bool quoted) {
  std::u16string line;
  for (const auto& arg : args) {
    if (!line.empty())
      line += u' ';
    line += quoted ? u'"' + arg + u'"' : arg;
  }
  return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::u16string line = in.Rest();
  const auto args = SplitCommandLine(line);

  // Every argument is some of the line's characters, in order, never a quote
  // or U+0000, and never empty.
  std::size_t at = 0;
  for (const auto& arg : args) {
    FUZZ_CHECK(!arg.empty());
    FUZZ_CHECK(arg.find_first_of(std::u16string_view(u"\"\0", 2)) == std::u16string::npos);
    for (const char16_t c : arg) {
      while (at < line.size() && line[at] != c)
        ++at;
      FUZZ_CHECK(at < line.size());
      ++at;
    }
  }

  // U+0000 ends the line: what follows it is never read.
  const auto nul = line.find(u'\0');
  if (nul != std::u16string::npos)
    FUZZ_CHECK(SplitCommandLine(line.substr(0, nul)) == args);

  // Quoted again and joined, the arguments split into themselves; so do
  // unquoted ones that hold no separator.
  FUZZ_CHECK(SplitCommandLine(Joined(args, true)) == args);
  bool plain = true;
  for (const auto& arg : args)
    for (const char16_t c : arg)
      plain = plain && !IsSeparator(c);
  if (plain)
    FUZZ_CHECK(SplitCommandLine(Joined(args, false)) == args);

  // A line of only separators and empty quote pairs holds no argument.
  bool blank = true;
  for (std::size_t i = 0; i < line.size() && line[i] != u'\0' && blank; ++i) {
    if (line[i] == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
      ++i;
    else
      blank = IsSeparator(line[i]);
  }
  if (blank)
    FUZZ_CHECK(args.empty());
  return 0;
}
