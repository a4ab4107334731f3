#include "core/names.h"

#include <gtest/gtest.h>

#include <string>

namespace tavu {
namespace {

TEST(Names, ForbiddenCharactersInvalidateNameAndExt) {
  for (const char16_t c : u"*/:<>?\\|") {
    if (c == u'\0')
      continue;
    for (const auto& text :
         {std::u16string(1, c), u"a" + std::u16string(1, c) + u"b", u"ab" + std::u16string(1, c)}) {
      SCOPED_TRACE(testing::PrintToString(text));
      EXPECT_FALSE(IsValidName(text));
      EXPECT_FALSE(IsValidExt(text));
    }
  }
}

TEST(Names, IsValidName) {
  struct Row {
    std::u16string text;
    bool valid;
  };
  const Row rows[] = {
      {u"", true},
      {u"\"quoted\"", true},
      {u" ", false},
      {u"   ", false},
      {u"\u3000", false},
      {u"\u3000\u3000", false},
      {u" \u3000", true},
      {u"\u3000 ", true},
      {u" a ", true},
      {u"\t", true},
      {u"\u65E5\u672C\u8A9E", true},
      {u"\U0001F600", true},
      {u"report.final", true},
  };
  for (const auto& r : rows)
    EXPECT_EQ(IsValidName(r.text), r.valid) << testing::PrintToString(r.text);
}

TEST(Names, IsValidExt) {
  struct Row {
    std::u16string text;
    bool valid;
  };
  const Row rows[] = {
      {u"", true},
      {u" ", true},
      {u"\u3000\u3000", true},
      {u"\"", true},
      {u"t\U0001F600t", true},
      {u"\xD83D", true},
      {u"\xDE00x", true},
      // Passing over a surrogate must not pass over what follows it.
      {u"\xD83D*", false},
      {u"\xDE00|", false},
      {u"\U0001F600?", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(IsValidExt(r.text), r.valid) << testing::PrintToString(r.text);
}

TEST(Names, LoadedFieldsFor) {
  struct Row {
    ItemKind kind;
    std::u16string path, name, ext;
  };
  const Row rows[] = {
      {ItemKind::File, u"C:\\docs\\report.final.docx", u"report.final", u"docx"},
      {ItemKind::File, u"C:\\docs\\README", u"README", u""},
      {ItemKind::File, u"C:\\docs\\name.", u"name", u""},
      {ItemKind::File, u"C:\\docs\\.gitignore", u".gitignore", u""},
      {ItemKind::File, u".gitignore", u".gitignore", u""},
      {ItemKind::File, u"C:\\docs\\.config.json", u".config", u"json"},
      {ItemKind::File, u"C:\\docs\\..hidden", u".", u"hidden"},
      {ItemKind::File, u"C:\\dir.d\\noext", u"noext", u""},
      {ItemKind::File, u"C:\\docs\\", u"", u""},
      {ItemKind::File, u"", u"", u""},
      {ItemKind::Folder, u"C:\\x\\my.folder", u"my.folder", u""},
      {ItemKind::Folder, u"C:\\", u"", u""},
      {ItemKind::Missing, u"C:\\x\\a.txt", u"a.txt", u""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.path));
    const auto fields = LoadedFieldsFor(r.kind, r.path);
    EXPECT_EQ(fields.name, r.name);
    EXPECT_EQ(fields.ext, r.ext);
  }
}

TEST(Names, EvaluateFields) {
  struct Row {
    ItemKind kind;
    std::u16string name, ext;
    bool decided, ok, clear;
    std::u16string hint;
  };
  const std::u16string longName(123, u'n');
  const Row rows[] = {
      {ItemKind::Missing, u"a", u"txt", false, false, false, u""},
      {ItemKind::File, u"a", u"txt", true, true, true, u"1"},
      {ItemKind::File, u"a", u"", true, true, true, u"1"},
      {ItemKind::File, u"", u"txt", true, false, false, u"0"},
      {ItemKind::File, u"a*", u"txt", true, false, true, u"2"},
      {ItemKind::File, u"a", u"t?t", true, false, true, u"1"},
      {ItemKind::File, u"  ", u"txt", true, false, true, u"2"},
      {ItemKind::File, u"\U0001F600", u"", true, true, true, u"2"},
      {ItemKind::File, longName, u"txt", true, true, true, u"123"},
      {ItemKind::Folder, u"a", u"t?t", true, true, true, u"1"},
      {ItemKind::Folder, u"a|b", u"", true, false, true, u"3"},
      {ItemKind::Folder, u"", u"", true, false, false, u"0"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.name) + " / " + testing::PrintToString(r.ext));
    const auto s = EvaluateFields(r.kind, r.name, r.ext);
    EXPECT_EQ(s.decided, r.decided);
    EXPECT_EQ(s.okEnabled, r.ok);
    EXPECT_EQ(s.clearEnabled, r.clear);
    EXPECT_EQ(s.nameHint, r.hint);
  }
}

TEST(Names, FitsLinuxFileNameCountsUtf8Bytes) {
  const std::u16string a(85, u'あ'); // 255 bytes
  std::u16string emoji;
  for (int i = 0; i < 63; ++i)
    emoji += u"\U0001F600"; // 4 bytes each
  const struct {
    std::u16string name;
    std::size_t bytes;
    bool fits;
  } rows[] = {
      {u"", 0, true},
      {std::u16string(255, u'n'), 255, true},
      {std::u16string(256, u'n'), 256, false},
      {a, 255, true},
      {a + u".txt", 259, false},
      {std::u16string(127, u'\u00E9') + u"n", 255, true},
      // Win32 drops trailing periods and blanks before the file system sees the name.
      {a + u". .", 258, true},
      {emoji + u"\U0001F600", 256, false},
      // A lone surrogate takes three bytes wherever it is carried.
      {std::u16string(84, u'あ') + u"\xDC00\xD800", 258, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.name.size()) + " code units");
    EXPECT_EQ(Utf8Size(r.name), r.bytes);
    EXPECT_EQ(FitsLinuxFileName(r.name), r.fits);
  }
}

} // namespace
} // namespace tavu
