#include "core/timequery.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tavu {
namespace {

// A file system of a few entries; anything else is missing.
class TreeQueries : public FileQueries {
public:
  std::map<std::u16string, std::uint32_t> entries = {
      {u"C:\\", kDirectory},
      {u"C:\\d", kDirectory},
      {u"C:\\d\\a.txt", 0x20},
  };
  mutable int asked = 0;

  Result Attributes(const std::u16string& path) const override {
    ++asked;
    // The extended-length prefix and a folder's trailing backslash name the same entries.
    std::u16string key = path.starts_with(u"\\\\?\\") ? path.substr(4) : path;
    if (key.size() > 3 && key.back() == u'\\')
      key.pop_back();
    auto it = entries.find(key);
    if (it == entries.end())
      return {false, kErrorFileNotFound};
    return {true, it->second};
  }
  Result Open(const std::u16string& path, bool) const override {
    return {entries.count(path) > 0, kErrorFileNotFound};
  }
  Result Find(const std::u16string&) const override { return {false, kErrorFileNotFound}; }
};

const char16_t* const kTooLong = u"指定されたパスが長すぎます";
const char16_t* const kUnsupported = u"パスの形式がサポートされていません";
const char16_t* const kEmpty = u"パスが空です";
const char16_t* const kInvalid = u"パスに無効な文字が含まれています";
const char16_t* const kPathNotFound = u"指定されたパスが見つかりません";
const char16_t* const kFileNotFound = u"指定されたファイルが見つかりません ";

std::u16string Long(std::size_t length) {
  std::u16string p = u"C:\\d\\";
  p.append(length - p.size(), u'x');
  return p;
}

TEST(TimeQuery, RefusesWhatThePathRulesReject) {
  struct Row {
    std::u16string path;
    bool folder, longPaths;
    const char16_t* refusal; // null: the query may read
  };
  const Row rows[] = {
      {u"C:\\d\\a.txt", false, false, nullptr},
      {u"C:\\d", true, false, nullptr},
      {u"C:\\d\\", true, false, nullptr},
      {u"C:\\", true, false, nullptr},
      {u"", false, false, kEmpty},
      {u"", true, true, kEmpty},
      {u"C:\\d\\a?.txt", false, false, kInvalid},
      {u"C:\\d\\*", true, false, kInvalid},
      {u"C:\\d\\a|b", false, false, kInvalid},
      {u"C:\\d\\a\tb", false, false, kInvalid},
      {u"C:\\d\\a.txt:stream", false, false, kUnsupported},
      {u"CC:\\d", true, false, kUnsupported},
      {u"1:\\d", true, false, kUnsupported},
      // The invalid character is named before the colon.
      {u"C:\\d\\a*:b", false, false, kInvalid},
      // Lengths: a file from 260 code units on, a folder from 248.
      {Long(259), false, false, kFileNotFound},
      {Long(260), false, false, kTooLong},
      {Long(247), true, false, kPathNotFound},
      {Long(248), true, false, kTooLong},
      {Long(300), false, true, kFileNotFound},
      // The extended-length prefix lifts the limit, and its question mark is no wildcard.
      {u"\\\\?\\" + Long(300), false, false, kFileNotFound},
      {u"\\\\?\\C:\\d\\a?", false, false, kInvalid},
      // Existence by the query's own rules.
      {u"C:\\d\\b.txt", false, false, kFileNotFound},
      {u"C:\\e\\a.txt", false, false, kPathNotFound},
      {u"C:\\e", true, false, kPathNotFound},
      {u"C:\\d\\a.txt", true, false, kPathNotFound},
      {u"C:\\d", false, false, kFileNotFound},
      {u"a.txt", false, false, kPathNotFound},
  };
  for (const auto& r : rows) {
    TreeQueries fs;
    const auto got = TimeQueryRefusal(fs, r.path, r.folder, r.longPaths);
    if (r.refusal)
      EXPECT_EQ(got, std::u16string(r.refusal)) << r.path.size() << " folder " << r.folder;
    else
      EXPECT_EQ(got, std::nullopt) << r.path.size() << " folder " << r.folder;
  }
}

TEST(TimeQuery, AsksTheFileSystemOnlyForAWellFormedPath) {
  for (const std::u16string path : {u"", u"C:\\d\\a?.txt", u"C:\\d:x"}) {
    TreeQueries fs;
    EXPECT_TRUE(TimeQueryRefusal(fs, path, false, true).has_value());
    EXPECT_EQ(fs.asked, 0);
  }
}

} // namespace
} // namespace tavu
