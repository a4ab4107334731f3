// The file and folder copies and moves on real trees in a scratch folder.
// No links anywhere: under Wine a link is moved or deleted through to its target.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <string>

#include "common/fileops.h"
#include "common/handle.h"
#include "common/wide.h"
#include "core/error.h"
#include "scratch.h"

namespace {

using testsupport::Exists;
using testsupport::ReadBytes;
using testsupport::ReadIfThere;

using wintest::ScratchFolder;

constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_DIRECTORY;

void Put(const std::u16string& path, const std::string& text, DWORD attrs = FILE_ATTRIBUTE_NORMAL) {
  ScopedFileHandle h(
      CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attrs, nullptr));
  ASSERT_TRUE(h) << "cannot create a test file";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

void MakeFolder(const std::u16string& path, DWORD attrs = 0) {
  ASSERT_TRUE(CreateDirectoryW(AsWide(path), nullptr));
  if (attrs)
    SetFileAttributesW(AsWide(path), attrs);
}

// Every entry under root by relative path: the attributes that must survive
// a copy or move, and a file's content.
using Tree = std::map<std::u16string, std::pair<DWORD, std::string>>;
void Walk(const std::u16string& root, const std::u16string& rel, Tree& out) {
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileW(AsWide(root + rel + u"\\*"), &fd));
  if (!h)
    return;
  do {
    const std::u16string name = ToU16(fd.cFileName);
    if (name == u"." || name == u"..")
      continue;
    const std::u16string child = rel + u"\\" + name;
    const bool folder = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    out[child] = {fd.dwFileAttributes & kKept,
                  folder ? "" : ReadIfThere(root + child).value_or("<unreadable>")};
    if (folder)
      Walk(root, child, out);
  } while (FindNextFileW(h.Get(), &fd));
}
Tree Snapshot(std::u16string root) {
  if (!root.empty() && root.back() == u'\\')
    root.pop_back();
  Tree t;
  Walk(root, u"", t);
  return t;
}

// A tree with hidden, system and read-only files and folders, nested and empty folders.
void BuildTree(const std::u16string& root) {
  MakeFolder(root);
  Put(root + u"\\plain.txt", "plain");
  Put(root + u"\\hidden.txt", "hidden", FILE_ATTRIBUTE_HIDDEN);
  Put(root + u"\\system.sys", "system", FILE_ATTRIBUTE_SYSTEM);
  Put(root + u"\\readonly.txt", "readonly", FILE_ATTRIBUTE_READONLY);
  MakeFolder(root + u"\\sub");
  Put(root + u"\\sub\\b.txt", "b");
  MakeFolder(root + u"\\sub\\deep");
  Put(root + u"\\sub\\deep\\c.txt", "c", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(root + u"\\sub\\empty");
  MakeFolder(root + u"\\secret", FILE_ATTRIBUTE_HIDDEN);
  Put(root + u"\\secret\\d.txt", "d", FILE_ATTRIBUTE_SYSTEM);
}

// The destinations lie beside the source under names that start with the
// source's own, and below parents that do not exist yet.
TEST(FileOps, CopyFolderCopiesEveryEntryWithItsAttributes) {
  ScratchFolder s;
  const auto src = s.Path(u"src");
  BuildTree(src);
  const Tree before = Snapshot(src);
  ASSERT_EQ(before.size(), 11u);
  Pelvane::CopyFolderTo(src, s.Path(u"src2\\parents\\copy"));
  EXPECT_EQ(Snapshot(s.Path(u"src2\\parents\\copy")), before);
  EXPECT_EQ(Snapshot(src), before);
}

TEST(FileOps, CopyFolderOverwritesAndKeepsWhatIsThere) {
  ScratchFolder s;
  const auto src = s.Path(u"src");
  BuildTree(src);
  const auto dst = s.Path(u"dst");
  MakeFolder(dst);
  Put(dst + u"\\plain.txt", "old");
  Put(dst + u"\\extra.txt", "extra");
  Pelvane::CopyFolderTo(src, dst);
  EXPECT_EQ(ReadBytes(dst + u"\\plain.txt"), "plain");
  EXPECT_EQ(ReadBytes(dst + u"\\extra.txt"), "extra");
  EXPECT_EQ(ReadBytes(dst + u"\\sub\\deep\\c.txt"), "c");
}

TEST(FileOps, MoveFolderMovesEveryEntryWithItsAttributes) {
  ScratchFolder s;
  const auto src = s.Path(u"src");
  BuildTree(src);
  SetFileAttributesW(AsWide(src), FILE_ATTRIBUTE_HIDDEN);
  const Tree before = Snapshot(src);
  Pelvane::MoveFolderTo(src, s.Path(u"src.old\\parents\\moved"));
  EXPECT_FALSE(Exists(src));
  EXPECT_EQ(Snapshot(s.Path(u"src.old\\parents\\moved")), before);
  EXPECT_TRUE(GetFileAttributesW(AsWide(s.Path(u"src.old\\parents\\moved"))) &
              FILE_ATTRIBUTE_HIDDEN);
}

// Holds a folder open as a process whose current directory it is: no delete
// sharing, so the folder can be neither renamed nor removed.
ScopedFileHandle HoldFolder(const std::u16string& path) {
  return ScopedFileHandle(CreateFileW(AsWide(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The one-rename fast path is refused while the source folder is held (under
// Wine a file held inside does not stop a folder rename, under Windows it
// does), so the entries are moved one by one.
TEST(FileOps, FolderMoveLeavesALockedFileWithItsAttributesAndFails) {
  ScratchFolder s;
  const auto src = s.Path(u"src");
  BuildTree(src);
  const auto locked = src + u"\\sub\\deep\\c.txt";
  Tree rest = Snapshot(src);
  rest.erase(u"\\sub\\deep\\c.txt");
  const auto dst = s.Path(u"dst");
  {
    ScopedFileHandle folder = HoldFolder(src);
    ASSERT_TRUE(folder);
    // An editor holding its document: no delete sharing.
    ScopedFileHandle file(CreateFileW(AsWide(locked), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    EXPECT_THROW(Pelvane::MoveFolderTo(src, dst), tavu::Exception);
  }
  EXPECT_EQ(ReadBytes(locked), "c");
  EXPECT_EQ(GetFileAttributesW(AsWide(locked)) & kKept,
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Snapshot(dst), rest);
  const Tree left = Snapshot(src);
  EXPECT_EQ(left.size(), 3u) << "only the locked file and its folders stay";
  EXPECT_EQ(left.count(u"\\sub\\deep\\c.txt"), 1u);
}

// Everything moved but the source folder itself: still a failure.
TEST(FileOps, FolderMoveFailsWhenTheSourceFolderStays) {
  ScratchFolder s;
  const auto src = s.Path(u"src");
  BuildTree(src);
  SetFileAttributesW(AsWide(src), FILE_ATTRIBUTE_HIDDEN);
  const Tree before = Snapshot(src);
  const auto dst = s.Path(u"dst");
  {
    ScopedFileHandle folder = HoldFolder(src);
    ASSERT_TRUE(folder);
    EXPECT_THROW(Pelvane::MoveFolderTo(src, dst), tavu::Exception);
  }
  EXPECT_EQ(Snapshot(dst), before);
  EXPECT_TRUE(Snapshot(src).empty());
  EXPECT_EQ(GetFileAttributesW(AsWide(src)) & kKept,
            DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(AsWide(dst)) & kKept,
            DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
}

TEST(FileOps, FileCopyAndMove) {
  ScratchFolder s;
  Put(s.Path(u"a.txt"), "a", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  Pelvane::CopyFileTo(s.Path(u"a.txt"), s.Path(u"b.txt"));
  EXPECT_EQ(ReadBytes(s.Path(u"b.txt")), "a");
  EXPECT_EQ(ReadBytes(s.Path(u"a.txt")), "a");
  Pelvane::MoveFileTo(s.Path(u"b.txt"), s.Path(u"c.txt"));
  EXPECT_FALSE(Exists(s.Path(u"b.txt")));
  EXPECT_EQ(ReadBytes(s.Path(u"c.txt")), "a");
  EXPECT_EQ(GetFileAttributesW(AsWide(s.Path(u"c.txt"))) & kKept,
            DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
}

// A root in other letter case counts as another root: copy, then delete the
// source, which a read-only flag must not block.
TEST(FileOps, FileMoveToAnotherRootCopiesThenDeletes) {
  ScratchFolder s;
  const auto src = s.Path(u"a.txt");
  ASSERT_TRUE(src.size() > 2 && src[1] == u':');
  Put(src, "a", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
  std::u16string dst = s.Path(u"b.txt");
  dst[0] = static_cast<char16_t>(dst[0] ^ 0x20);
  Pelvane::MoveFileTo(src, dst);
  EXPECT_FALSE(Exists(src));
  EXPECT_EQ(ReadBytes(dst), "a");
  EXPECT_EQ(GetFileAttributesW(AsWide(dst)) & kKept,
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
}

// Every refusal happens before anything on disk changes.
TEST(FileOps, RefusalsChangeNothing) {
  ScratchFolder s;
  BuildTree(s.Path(u"tree"));
  Put(s.Path(u"file.txt"), "file");
  Put(s.Path(u"taken.txt"), "taken");
  MakeFolder(s.Path(u"taken"));
  auto p = [&](const char16_t* name) { return s.Path(name); };
  using Op = void (*)(const std::u16string&, const std::u16string&, Pelvane::Transfer*);
  struct Row {
    const char* what;
    Op op;
    std::u16string src, dst;
  };
  const Row rows[] = {
      {"copy file: no source", Pelvane::CopyFileTo, p(u"none.txt"), p(u"x.txt")},
      {"copy file: destination exists", Pelvane::CopyFileTo, p(u"file.txt"), p(u"taken.txt")},
      {"copy file: onto a folder", Pelvane::CopyFileTo, p(u"file.txt"), p(u"taken")},
      {"copy file: no destination folder", Pelvane::CopyFileTo, p(u"file.txt"), p(u"no\\x.txt")},
      {"copy file: a folder as source", Pelvane::CopyFileTo, p(u"tree"), p(u"x")},
      {"move file: no source", Pelvane::MoveFileTo, p(u"none.txt"), p(u"x.txt")},
      {"move file: destination exists", Pelvane::MoveFileTo, p(u"file.txt"), p(u"taken.txt")},
      {"move file: no destination folder", Pelvane::MoveFileTo, p(u"file.txt"), p(u"no\\x.txt")},
      {"copy folder: no source", Pelvane::CopyFolderTo, p(u"none"), p(u"x")},
      {"copy folder: a file as source", Pelvane::CopyFolderTo, p(u"file.txt"), p(u"x")},
      {"copy folder: no drive", Pelvane::CopyFolderTo, p(u"tree"), u"R:\\x"},
      {"copy folder: onto itself", Pelvane::CopyFolderTo, p(u"tree"), p(u"TREE\\")},
      {"copy folder: into itself", Pelvane::CopyFolderTo, p(u"tree"), p(u"Tree\\sub\\x")},
      {"move folder: no source", Pelvane::MoveFolderTo, p(u"none"), p(u"x")},
      {"move folder: destination exists", Pelvane::MoveFolderTo, p(u"tree"), p(u"taken")},
      {"move folder: onto a file", Pelvane::MoveFolderTo, p(u"tree"), p(u"taken.txt")},
      {"move folder: no destination drive", Pelvane::MoveFolderTo, p(u"tree"), u"R:\\tavu-never"},
      {"move folder: onto itself", Pelvane::MoveFolderTo, p(u"tree"), p(u"TREE")},
      {"move folder: into itself", Pelvane::MoveFolderTo, p(u"tree"), p(u"tree\\SUB\\x")},
      {"move folder: into itself, dotted", Pelvane::MoveFolderTo, p(u"tree"),
       p(u"tree\\sub\\..\\x")},
  };
  const Tree before = Snapshot(s.Path(u""));
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_THROW(r.op(r.src, r.dst, nullptr), tavu::Exception);
    EXPECT_EQ(Snapshot(s.Path(u"")), before);
  }
}

// Stands in for CopyFileExW. At the `cancelAt`-th file it leaves a torn
// copy and asks its transfer to stop, then calls the progress routine as
// Windows does within a large file (Wine never calls it). At the
// `touchAt`-th it copies, then changes the source, as a program saving it
// would. The other files are copied for real.
struct SeamCopy {
  static inline int calls = 0, cancelAt = 0, touchAt = 0;
  static inline Pelvane::Transfer* transfer = nullptr;
  static BOOL WINAPI Step(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data,
                          LPBOOL cancel, DWORD flags) {
    ++calls;
    if (calls != cancelAt) {
      const BOOL ok = CopyFileExW(from, to, progress, data, cancel, flags);
      if (calls == touchAt)
        Put(ToU16(from), "changed since");
      return ok;
    }
    Put(ToU16(to), "torn");
    transfer->Cancel();
    LARGE_INTEGER total{}, done{};
    total.QuadPart = 8;
    done.QuadPart = 4;
    EXPECT_EQ(
        progress(total, done, total, done, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, data),
        DWORD(PROGRESS_CANCEL));
    SetLastError(ERROR_REQUEST_ABORTED);
    return FALSE;
  }
  SeamCopy(int cancel, int touch, Pelvane::Transfer* t) {
    calls = 0;
    cancelAt = cancel;
    touchAt = touch;
    transfer = t;
    Pelvane::UseCopyStep(Step);
  }
  ~SeamCopy() { Pelvane::UseCopyStep(nullptr); }
};

// The volume of about 1 MiB that scripts/setup.sh mounts at C:\tavu-small.
bool SmallVolume() {
  ULARGE_INTEGER avail{}, total{}, free{};
  return GetDiskFreeSpaceExW(L"C:\\tavu-small\\", &avail, &total, &free) &&
         total.QuadPart <= 8ull * 1024 * 1024;
}

TEST(FileOps, ACancelTakesBackEverythingTheCopyMadeAndLeavesTheSourceWhole) {
  ScratchFolder s;
  const bool small = SmallVolume();
  ScratchFolder other(u"tavu-cancel-", small ? u"C:\\tavu-small\\" : ScratchFolder::TempFolder());
  using Op = void (*)(const std::u16string&, const std::u16string&, Pelvane::Transfer*);
  const struct {
    const char* what;
    Op op;
    bool folder;
    std::u16string dst;
    int cancelAt;
    bool across = false;
  } rows[] = {
      {"folder copy, at its first file", Pelvane::CopyFolderTo, true, s.Path(u"new\\a\\copy"), 1},
      {"folder copy, deep inside", Pelvane::CopyFolderTo, true, s.Path(u"new\\b\\copy"), 5},
      {"folder move to another volume", Pelvane::MoveFolderTo, true, other.Path(u"new\\moved"), 6,
       true},
      {"file copy", Pelvane::CopyFileTo, false, s.Path(u"copy.txt"), 1},
      {"file move to another volume", Pelvane::MoveFileTo, false, other.Path(u"moved.txt"), 1,
       true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    if (r.across && !small) {
      std::cout << "[ skipped  ] no volume of its own at C:\\tavu-small: " << r.what << "\n";
      continue;
    }
    const auto src = s.Path(u"src");
    if (r.folder)
      BuildTree(src);
    else
      Put(src, "a file", FILE_ATTRIBUTE_READONLY);
    const Tree here = Snapshot(s.Root()), there = Snapshot(other.Root());
    Pelvane::Transfer t;
    {
      SeamCopy seam(r.cancelAt, 0, &t);
      EXPECT_THROW(r.op(src, r.dst, &t), Pelvane::TransferCancelled);
    }
    EXPECT_EQ(Snapshot(s.Root()), here);
    EXPECT_EQ(Snapshot(other.Root()), there);
    SetFileAttributesW(AsWide(src), FILE_ATTRIBUTE_NORMAL);
    if (r.folder)
      testsupport::RemoveTree(src);
    else
      DeleteFileW(AsWide(src));
  }
}

// Across volumes a folder move copies everything first: a file changed after
// its copy was made keeps its place with its news, and the stale copy goes.
TEST(FileOps, AFolderMoveToAnotherVolumeKeepsASourceThatChangedAfterItsCopy) {
  if (!SmallVolume())
    GTEST_SKIP() << "no volume of its own at C:\\tavu-small (mounting a tmpfs needs root)";
  ScratchFolder s, other(u"tavu-move-", u"C:\\tavu-small\\");
  const auto src = s.Path(u"src"), dst = other.Path(u"moved");
  BuildTree(src);
  Tree moved = Snapshot(src);
  Pelvane::Transfer t;
  {
    SeamCopy seam(0, 1, &t);
    EXPECT_THROW(Pelvane::MoveFolderTo(src, dst, &t), tavu::Exception);
  }
  const Tree left = Snapshot(src);
  ASSERT_EQ(left.size(), 1u) << "only the changed file stays";
  EXPECT_EQ(left.begin()->second.second, "changed since");
  moved.erase(left.begin()->first);
  EXPECT_EQ(Snapshot(dst), moved);
  // The totals were counted first, and every file that arrived was followed.
  const auto f = t.Snapshot();
  EXPECT_TRUE(f.counted);
  EXPECT_EQ(f.totalFiles, 7u);
  EXPECT_EQ(f.doneFiles, 7u);
  EXPECT_EQ(f.totalBytes, 28u);
  EXPECT_EQ(f.doneBytes, 28u);
}

} // namespace
