#include "core/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tavu {
namespace {

TEST(Paths, SplitsIntoParts) {
  struct Row {
    std::u16string path, fileName, folder, ext, nameWithoutExt;
  };
  const Row rows[] = {
      {u"C:\\dir\\file.txt", u"file.txt", u"C:\\dir\\", u".txt", u"file"},
      {u"C:\\dir\\archive.tar.gz", u"archive.tar.gz", u"C:\\dir\\", u".gz", u"archive.tar"},
      {u"C:\\dir\\.gitignore", u".gitignore", u"C:\\dir\\", u".gitignore", u""},
      {u"C:\\dir\\name.", u"name.", u"C:\\dir\\", u".", u"name"},
      {u"C:\\dir.d\\noext", u"noext", u"C:\\dir.d\\", u"", u"noext"},
      {u"C:\\dir\\", u"", u"C:\\dir\\", u"", u""},
      {u"\\\\server\\share", u"share", u"\\\\server\\", u"", u"share"},
      {u"C:", u"", u"C:", u"", u""},
      {u"C:file.txt", u"file.txt", u"C:", u".txt", u"file"},
      {u"C:/dir/file.txt", u"/dir/file.txt", u"C:", u".txt", u"/dir/file"},
      {u"dir.d:noext", u"noext", u"dir.d:", u"", u"noext"},
      {u"a.b", u"a.b", u"", u".b", u"a"},
      {u"", u"", u"", u"", u""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.path));
    EXPECT_EQ(FileNamePart(r.path), r.fileName);
    EXPECT_EQ(FolderPart(r.path), r.folder);
    EXPECT_EQ(ExtPart(r.path), r.ext);
    EXPECT_EQ(NameWithoutExt(r.path), r.nameWithoutExt);
  }
}

TEST(Paths, NameAndExtensionRebuildTheFileName) {
  for (const std::u16string path :
       {u"C:\\a\\b.c", u"C:\\a.b\\c.d.e", u"x:.y", u"\\\\s\\t\\.", u"..", u"a..b", u"/x/y.z/w.v"}) {
    SCOPED_TRACE(testing::PrintToString(path));
    const auto ext = ExtPart(path);
    ASSERT_FALSE(ext.empty());
    EXPECT_EQ(NameWithoutExt(path) + u"." + ext.substr(1), FileNamePart(path));
  }
}

TEST(Paths, FolderOf) {
  const std::map<std::u16string, std::u16string> rows = {
      {u"C:\\dir\\file.txt", u"C:\\dir"},
      {u"C:\\dir\\", u"C:\\dir"},
      {u"C:\\file.txt", u"C:\\"},
      {u"\\\\server\\share\\file.txt", u"\\\\server\\share"},
      {u"\\\\server", u"\\\\"},
      {u"C:\\dir\\\\x", u"C:\\dir\\\\"},
      {u"\\file", u"\\"},
      {u"C:file.txt", u"C:"},
      {u"C:/dir/file.txt", u"C:"},
      {u"a/b", u""},
      {u"name", u""},
      {u"", u""},
  };
  for (const auto& [path, folder] : rows)
    EXPECT_EQ(FolderOf(path), folder) << testing::PrintToString(path);
}

TEST(Paths, ExcludeTrailingSeparatorRemovesOneBackslash) {
  const std::map<std::u16string, std::u16string> rows = {
      {u"C:\\dir\\", u"C:\\dir"}, {u"C:\\dir\\\\", u"C:\\dir\\"}, {u"C:\\", u"C:"}, {u"\\", u""},
      {u"C:/dir/", u"C:/dir/"},   {u"C:\\dir", u"C:\\dir"},       {u"C:", u"C:"},   {u"", u""},
  };
  for (const auto& [path, expected] : rows)
    EXPECT_EQ(ExcludeTrailingSeparator(path), expected) << testing::PrintToString(path);
}

TEST(Paths, LastCharPos) {
  struct Row {
    std::u16string ch, text;
    std::size_t pos;
  };
  const Row rows[] = {
      {u".", u"a.b.c", 4},
      {u".", u".", 1},
      {u".", u"abc", 0},
      {u".", u"", 0},
      {u"A", u"abc", 0},
      {u"", u"abc", 0},
      {u"ab", u"abab", 0},
      {u"\\", u"C:\\x\\", 5},
      {u"\xD83D", u"a\U0001F600", 2},
      {u"\xDE00", u"a\U0001F600", 3},
  };
  for (const auto& r : rows)
    EXPECT_EQ(LastCharPos(r.ch, r.text), r.pos)
        << testing::PrintToString(r.ch) << " in " << testing::PrintToString(r.text);
}

TEST(Paths, ExtendedLengthPath) {
  const std::map<std::u16string, std::u16string> rows = {
      {u"C:\\dir\\file.txt", u"\\\\?\\C:\\dir\\file.txt"},
      {u"z:\\", u"\\\\?\\z:\\"},
      {u"\\\\server\\share\\file", u"\\\\?\\UNC\\server\\share\\file"},
      {u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
      {u"\\\\?\\C:\\x", u"\\\\?\\C:\\x"},
      {u"\\\\.\\COM1", u"\\\\.\\COM1"},
      // Nothing the file functions would read against a current folder.
      {u"C:file.txt", u""},
      {u"\\dir\\file", u""},
      {u"1:\\x", u""},
      {u"\\\\server", u""},
      {u"\\\\\\share", u""},
      {u"", u""},
  };
  for (const auto& [path, extended] : rows)
    EXPECT_EQ(ExtendedLengthPath(path), extended) << testing::PrintToString(path);
}

TEST(Paths, PathRoot) {
  const std::map<std::u16string, std::u16string> rows = {
      {u"C:\\dir\\file.txt", u"C:"},
      {u"e:\\", u"e:"},
      {u"C:", u"C:"},
      {u"\\\\Server\\Share\\dir\\f", u"\\\\Server\\Share"},
      {u"\\\\server\\share", u"\\\\server\\share"},
      {u"\\\\server", u"\\\\server"},
      {u"\\dir\\file", u""},
      {u"", u""},
  };
  for (const auto& [path, root] : rows)
    EXPECT_EQ(PathRoot(path), root) << testing::PrintToString(path);
}

TEST(Paths, IsSameOrInside) {
  struct Row {
    std::u16string path, folder;
    bool inside;
  };
  const Row rows[] = {
      {u"C:\\A", u"C:\\A", true},       {u"C:\\A\\", u"C:\\A", true},
      {u"C:\\A", u"C:\\A\\", true},     {u"C:\\A\\B", u"C:\\A", true},
      {u"C:\\A\\B\\C", u"C:\\A", true}, {u"C:\\AB", u"C:\\A", false},
      {u"C:\\A.B\\C", u"C:\\A", false}, {u"C:\\A", u"C:\\A\\B", false},
      {u"C:\\B", u"C:\\A", false},      {u"C:\\X", u"C:\\", true},
      {u"D:\\A", u"C:\\", false},       {u"\\\\S\\T\\A\\B", u"\\\\S\\T\\A", true},
      {u"C:\\A", u"", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(IsSameOrInside(r.path, r.folder), r.inside)
        << testing::PrintToString(r.path) << " in " << testing::PrintToString(r.folder);
}

TEST(Paths, ClassifyDrive) {
  struct Row {
    std::u16string path;
    DriveQuery::Kind kind;
    std::u16string root;
  };
  const Row rows[] = {
      {u"", DriveQuery::NotReady, u""},
      {u"C:\\x", DriveQuery::AskRoot, u"C:\\"},
      {u"c:\\x", DriveQuery::AskRoot, u"C:\\"},
      {u"a.txt", DriveQuery::AskRoot, u"A:\\"},
      {u"z", DriveQuery::AskRoot, u"Z:\\"},
      {u"\\\\server\\share", DriveQuery::Ready, u""},
      {u"\\dir", DriveQuery::Ready, u""},
      {u"1:\\", DriveQuery::NotReady, u""},
      {u"/x", DriveQuery::NotReady, u""},
      // Just outside the letter ranges.
      {u"@", DriveQuery::NotReady, u""},
      {u"[", DriveQuery::NotReady, u""},
      {u"`", DriveQuery::NotReady, u""},
      {u"{", DriveQuery::NotReady, u""},
      // Full-width and accented letters are not drive letters.
      {u"\uFF23:\\", DriveQuery::NotReady, u""},
      {u"\uFF43:\\", DriveQuery::NotReady, u""},
      {u"\u00E0:\\", DriveQuery::NotReady, u""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.path));
    const auto q = ClassifyDrive(r.path);
    EXPECT_EQ(q.kind, r.kind);
    EXPECT_EQ(q.root, r.root);
  }
}

// Answers from a table and records every question, so the tests can tell
// which queries a rule needed.
class FakeQueries : public FileQueries {
public:
  static constexpr const char16_t* kPath = u"C:\\dir\\item";

  Result attributes{true, 0x20};
  Result open{true, 0};
  Result find{false, 0};
  mutable std::vector<std::string> calls;

  Result Attributes(const std::u16string& path) const override {
    return Record("attributes", path, attributes);
  }
  Result Open(const std::u16string& path, bool folder) const override {
    return Record(folder ? "open folder" : "open file", path, open);
  }
  Result Find(const std::u16string& path) const override { return Record("find", path, find); }

private:
  Result Record(const char* what, const std::u16string& path, Result r) const {
    calls.push_back(path == kPath ? what : "wrong path");
    return r;
  }
};

using Calls = std::vector<std::string>;
constexpr FileQueries::Result Ok(std::uint32_t attrs) {
  return {true, attrs};
}
constexpr FileQueries::Result Fail(std::uint32_t error) {
  return {false, error};
}

struct ExistsRow {
  const char* what;
  FileQueries::Result attributes, open, find;
  bool exists;
  Calls calls;
};

TEST(Paths, FileExistsWith) {
  const ExistsRow rows[] = {
      {"plain file", Ok(0x20), Fail(5), Fail(2), true, {"attributes"}},
      {"folder", Ok(0x10), Ok(0), Ok(0x20), false, {"attributes"}},
      {"file not found", Fail(2), Ok(0), Ok(0x20), false, {"attributes"}},
      {"path not found", Fail(3), Ok(0), Ok(0x20), false, {"attributes"}},
      {"invalid name", Fail(123), Ok(0), Ok(0x20), false, {"attributes"}},
      {"locked file", Fail(32), Fail(5), Ok(0x20), true, {"attributes", "find"}},
      {"denied, listed as folder", Fail(5), Ok(0), Ok(0x10), false, {"attributes", "find"}},
      {"denied, not listed", Fail(5), Ok(0), Fail(2), false, {"attributes", "find"}},
      {"file link", Ok(0x420), Ok(0), Fail(2), true, {"attributes", "open file"}},
      {"dangling file link", Ok(0x420), Fail(2), Ok(0x20), false, {"attributes", "open file"}},
      {"link to locked file", Ok(0x420), Fail(32), Fail(2), true, {"attributes", "open file"}},
      {"link, access denied", Ok(0x400), Fail(5), Ok(0x20), false, {"attributes", "open file"}},
      {"folder link", Ok(0x410), Ok(0), Ok(0x20), false, {"attributes"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    FakeQueries fs;
    fs.attributes = r.attributes;
    fs.open = r.open;
    fs.find = r.find;
    EXPECT_EQ(FileExistsWith(fs, FakeQueries::kPath), r.exists);
    EXPECT_EQ(fs.calls, r.calls);
  }
}

TEST(Paths, FolderExistsWith) {
  const ExistsRow rows[] = {
      {"not found", Fail(2), Ok(0), Ok(0x10), false, {"attributes"}},
      {"access denied", Fail(5), Ok(0), Ok(0x10), false, {"attributes"}},
      {"folder", Ok(0x10), Fail(5), Fail(2), true, {"attributes"}},
      {"file", Ok(0x20), Ok(0), Ok(0x10), false, {"attributes"}},
      {"junction", Ok(0x410), Ok(0), Fail(2), true, {"attributes", "open folder"}},
      {"dangling junction", Ok(0x410), Fail(2), Ok(0x10), false, {"attributes", "open folder"}},
      {"file link", Ok(0x400), Ok(0), Ok(0x10), false, {"attributes", "open folder"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    FakeQueries fs;
    fs.attributes = r.attributes;
    fs.open = r.open;
    fs.find = r.find;
    EXPECT_EQ(FolderExistsWith(fs, FakeQueries::kPath), r.exists);
    EXPECT_EQ(fs.calls, r.calls);
  }
}

} // namespace
} // namespace tavu
