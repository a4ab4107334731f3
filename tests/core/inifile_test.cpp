#include "core/inifile.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace tavu {
namespace {

// Latin-1 stands in for the ANSI code page (every test text fits it): its bytes
// differ from UTF-8's, so a file that takes the wrong path shows it.
class Latin1 : public CodePage {
public:
  std::u16string Decode(std::string_view bytes) const override {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return std::u16string(data, data + bytes.size());
  }
  std::string Encode(const std::u16string& text) const override {
    return std::string(text.begin(), text.end());
  }
};
const Latin1 kAnsi;

std::string Utf8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes;
  for (const char16_t c : text)
    for (const int shift : {bigEndian ? 8 : 0, bigEndian ? 0 : 8})
      bytes.push_back(static_cast<char>(c >> shift));
  return bytes;
}

TEST(IniFile, FreshFileLayout) {
  IniFile ini(kAnsi);
  ini.WriteInteger(u"Window", u"Width", 1000);
  ini.WriteInteger(u"Window", u"Height", 200);
  ini.WriteInteger(u"Window", u"Top", -32);
  ini.WriteInteger(u"Window", u"Left", INT_MIN);
  ini.WriteBool(u"Window", u"MostTop", false);
  ini.WriteBool(u"Window", u"OKClose", true);
  ini.WriteBool(u"Window", u"Log", false);
  EXPECT_EQ(ini.Save(), "[Window]\r\nWidth=1000\r\nHeight=200\r\nTop=-32\r\nLeft=-2147483648\r\n"
                        "MostTop=0\r\nOKClose=1\r\nLog=0\r\n\r\n");
}

TEST(IniFile, EachEncodingComesBackWithItsMark) {
  const std::u16string text = u"[Fen\u00EAtre]\r\nName=\u65E5\U0001F600\r\nWidth=1\r\n\r\n";
  for (const std::string& file :
       {Utf8(u8"\uFEFF[Fen\u00EAtre]\r\nName=\u65E5\U0001F600\r\nWidth=1\r\n\r\n"),
        "\xFF\xFE" + Utf16(text, false), "\xFE\xFF" + Utf16(text, true),
        std::string("[Fen\xEAtre]\r\nName=\xE9\r\nWidth=1\r\n\r\n")}) {
    SCOPED_TRACE(testing::PrintToString(file));
    IniFile ini(file, kAnsi);
    EXPECT_EQ(ini.ReadInteger(u"Fen\u00EAtre", u"Width", 0), 1);
    EXPECT_EQ(ini.Save(), file);
  }
  // A lone mark decides the encoding of what is written; no mark means ANSI.
  const std::pair<std::string, std::string> rows[] = {
      {"\xEF\xBB\xBF", Utf8(u8"\uFEFF[\u00EA]\r\nk=-7\r\n\r\n")},
      {"\xFF\xFE", "\xFF\xFE" + Utf16(u"[\u00EA]\r\nk=-7\r\n\r\n", false)},
      {"\xFE\xFF", "\xFE\xFF" + Utf16(u"[\u00EA]\r\nk=-7\r\n\r\n", true)},
      {"", "[\xEA]\r\nk=-7\r\n\r\n"}};
  for (const auto& [file, expected] : rows) {
    IniFile ini(file, kAnsi);
    ini.WriteInteger(u"\u00EA", u"k", -7);
    EXPECT_EQ(ini.Save(), expected);
  }
}

TEST(IniFile, DamagedTextDecodesSoundly) {
  const std::pair<std::string, std::u16string> rows[] = {
      {"[a]\rk=1\nj=2\r\n", u"1"},                                // every kind of line break
      {"\xFF\xFE" + Utf16(u"[a]\nk=5", false) + "7", u"5\uFFFD"}, // half a code unit
      {"\xFF\xFE" + Utf16(u"[a]\nk=\xD800", false), u"\xD800"},   // unpaired surrogate kept
      {"\xEF\xBB\xBF[a]\nk=\xE6\x97\nj=2", u"\uFFFD"},            // cut short before the break
      {"\xEF\xBB\xBF[a]\nk=\xC0\xAF\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"}};
  for (const auto& [file, value] : rows) {
    SCOPED_TRACE(testing::PrintToString(file));
    const IniFile ini(file, kAnsi);
    EXPECT_EQ(ini.ReadString(u"a", u"k"), value);
    // What follows damage is still read.
    EXPECT_EQ(ini.ReadInteger(u"a", u"j", 0), file.find("j=2") != std::string::npos ? 2 : 0);
  }
}

TEST(IniFile, ParsingRulesAndSaveLayout) {
  IniFile ini("Width=1\r\n[Orphan\r\n \t[ window ]\x01\r\nWIDTH\t= 800\r\n; a comment\r\n\r\n"
              "Extra=1\r\nBare\r\nDup=first\r\ndup=second\r\nEmpty=\r\n"
              "[Other]\r\nHeight=5\r\n[WINDOW]\r\nTop=9\r\n",
              kAnsi);
  EXPECT_EQ(ini.ReadInteger(u"Window", u"Width", 0), 800);
  EXPECT_EQ(ini.ReadString(u"window", u"DUP"), u"first");
  EXPECT_EQ(ini.ReadString(u"Window", u"Empty"), u"");
  EXPECT_EQ(ini.ReadInteger(u"Window", u"Empty", 3), 3);
  EXPECT_EQ(ini.ReadInteger(u"Window", u"Bare", 3), 3);
  EXPECT_EQ(ini.ReadInteger(u"Window", u"Top", 3), 3); // only in the repeated section
  EXPECT_EQ(ini.ReadInteger(u"Other", u"Height", 0), 5);

  ini.WriteInteger(u"Window", u"Width", 1024);
  ini.WriteInteger(u"Window", u"DUP", 2);
  ini.WriteInteger(u"Window", u"Top", 10);
  ini.WriteBool(u"New", u"Log", true);
  EXPECT_EQ(ini.Save(),
            "[window]\r\nWIDTH=1024\r\nExtra=1\r\nBare\r\nDup=2\r\ndup=second\r\n"
            "Empty=\r\nTop=10\r\n\r\n[Other]\r\nHeight=5\r\n\r\n[New]\r\nLog=1\r\n\r\n");
}

TEST(IniFile, NamesMatchThroughTheInjectedKey) {
  const std::string file = "[Fen\xEAtre]\r\nCl\xE9=4\r\n";
  EXPECT_EQ(IniFile(file, kAnsi).ReadInteger(u"FEN\u00CATRE", u"CL\u00C9", 0), 0);
  // Folds Latin-1 capitals as well, as a locale's key would.
  const auto latin1Fold = [](std::u16string name) {
    for (auto& c : name)
      if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        c += 0x20;
    return AsciiNameKey(name);
  };
  IniFile ini(file, kAnsi, latin1Fold);
  EXPECT_EQ(ini.ReadInteger(u"FEN\u00CATRE", u"CL\u00C9", 0), 4);
  ini.WriteInteger(u"FEN\u00CATRE", u"CL\u00C9", 5);
  EXPECT_EQ(ini.Save(), "[Fen\xEAtre]\r\nCl\xE9=5\r\n\r\n");
}

TEST(IniFile, IntegersAndBooleans) {
  const std::pair<const char*, int> converts[] = {{"0", 0},
                                                  {"-5", -5},
                                                  {"-1", -1},
                                                  {"2", 2},
                                                  {"+5", 5},
                                                  {"007", 7},
                                                  {"0x400", 1024},
                                                  {"0x1F", 31},
                                                  {"0X1f", 31},
                                                  {"$FF", 255},
                                                  {"-2147483648", INT_MIN},
                                                  {"0x7FFFFFFF", INT_MAX}};
  const char* const fails[] = {"2147483648", "-2147483649", "99999999999999999999999",
                               "0x80000000", "$100000000",  "0x",
                               "$",          "-",           "+",
                               "",           "12abc",       "abc",
                               "1 2",        "-0x10",       "0x-1",
                               "$G",         "1.5",         "True",
                               "yes",        "\xEF\xBC\x91"};
  auto read = [](const std::string& value) { return IniFile("[s]\r\nk=" + value, kAnsi); };
  for (const auto& [text, value] : converts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(read(text).ReadInteger(u"s", u"k", 77), value);
    EXPECT_EQ(read(text).ReadBool(u"s", u"k", value == 0), value != 0);
  }
  // A Boolean is read as an integer with the default 1 or 0: each default comes back.
  for (const char* text : fails) {
    SCOPED_TRACE(text);
    EXPECT_EQ(read(text).ReadInteger(u"s", u"k", 77), 77);
    EXPECT_TRUE(read(text).ReadBool(u"s", u"k", true));
    EXPECT_FALSE(read(text).ReadBool(u"s", u"k", false));
  }
}

// Whatever was read, a save reads back to itself: nothing written re-parses
// into a different file.
TEST(IniFile, HostileContentSavesStably) {
  std::mt19937 rng(2024);
  const std::string tricky = "[]=;\r\n \t\x01k\xEF\xBB\xBF\xFF\xFE\xED\xA0\x80";
  std::vector<std::string> files = {"", "\xEF\xBB", std::string("\xFE\xFF\x00", 3),
                                    std::string(1 << 20, 'x'), "[a]\n" + std::string(1 << 20, '=')};
  std::string sections; // many distinct names must not cost time by their square
  for (int i = 0; i < 20000; ++i)
    sections += "[" + std::to_string(i) + "]\r\nk=0\r\n";
  files.push_back(sections);
  const char* const marks[] = {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"};
  for (int n = 0; n < 400; ++n) {
    std::string f = marks[n % 4];
    for (std::size_t i = rng() % 300; i > 0; --i)
      f.push_back(rng() % 2 ? tricky[rng() % tricky.size()] : static_cast<char>(rng()));
    files.push_back(std::move(f));
  }
  for (const auto& f : files) {
    IniFile ini(f, kAnsi);
    ini.ReadInteger(u"a", u"k", 0);
    ini.WriteBool(u"a", u"k", true);
    const std::string saved = ini.Save();
    ASSERT_EQ(IniFile(saved, kAnsi).Save(), saved) << testing::PrintToString(f);
    ASSERT_TRUE(IniFile(saved, kAnsi).ReadBool(u"a", u"k", false));
  }
}

} // namespace
} // namespace tavu
