#include "core/cmdline.h"

#include <gtest/gtest.h>

namespace tavu {
namespace {

using Args = std::vector<std::u16string>;

TEST(CommandLine, Splits) {
  struct Row {
    std::u16string line;
    Args args;
  };
  const Row rows[] = {
      {u"tavu.exe \"C:\\My Files\\a.txt\" b", {u"tavu.exe", u"C:\\My Files\\a.txt", u"b"}},
      {u"\"C:\\Program Files\\tavu.exe\" a", {u"C:\\Program Files\\tavu.exe", u"a"}},
      {u"x \"D:\\\"", {u"x", u"D:\\"}},
      {u"x D:\\\" b\"", {u"x", u"D:\\ b"}},
      {u"x a\"b c\"d", {u"x", u"ab cd"}},
      {u"x \"a\"\"b\"", {u"x", u"ab"}},
      {u"x a\"\"", {u"x", u"a"}},
      {u"x \"a\tb\"", {u"x", u"a\tb"}},
      {u"x \"unterminated arg", {u"x", u"unterminated arg"}},
      {u"x\ta\x01"
       u"b\x1F"
       u"c x",
       {u"x", u"a", u"b", u"c", u"x"}},
      {u"  x  ", {u"x"}},
      {u"x !a a\u00A0b", {u"x", u"!a", u"a\u00A0b"}},
      // Pairs of quotes between arguments are skipped, however many.
      {u"x \"\" b", {u"x", u"b"}},
      {u"x \"\" \"\"\"\" b", {u"x", u"b"}},
      {u"x \"\"a", {u"x", u"a"}},
      {u"x \"\"\" b", {u"x", u" b"}},
      {u"\"\" x", {u"x"}},
      // An argument that comes out empty ends the list.
      {u"x a \"", {u"x", u"a"}},
      {u"x \"\"\"", {u"x"}},
      {u"x \"\"   ", {u"x"}},
      {u"", {}},
      {u" \t ", {}},
  };
  for (const auto& r : rows)
    EXPECT_EQ(SplitCommandLine(r.line), r.args) << testing::PrintToString(r.line);
}

TEST(CommandLine, NulEndsTheLine) {
  const std::u16string plain(u"x a\0b c", 7);
  EXPECT_EQ(SplitCommandLine(plain), (Args{u"x", u"a"}));
  const std::u16string quoted(u"x \"a\0b\" c", 9);
  EXPECT_EQ(SplitCommandLine(quoted), (Args{u"x", u"a"}));
}

TEST(CommandLine, LongQuotedArgument) {
  const std::u16string arg(40000, u'a');
  EXPECT_EQ(SplitCommandLine(u"x \"" + arg + u"\" y"), (Args{u"x", arg, u"y"}));
}

} // namespace
} // namespace tavu
