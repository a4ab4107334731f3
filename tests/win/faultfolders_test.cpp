// Moves and copies of folders through OK and the real folder browser while
// things go wrong: a file held open deep inside, read-only and hidden
// entries, a destination volume that fills up, and another thread changing
// the source during the walk. Nothing may be lost (every file whole at its
// source or its destination), nothing torn may be left, and the log line
// must say "失敗" exactly when something stayed behind or failed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/handle.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "dialogs.h"
#include "fixture.h"
#include "scratch.h"

namespace {

using testsupport::Exists;
using testsupport::ReadIfThere;

using wintest::DialogDriver;
using wintest::MainWindow;
using wintest::Pick;
using wintest::ScratchFolder;

// A content that tells its file apart and shows whether it is whole.
std::string ContentFor(const std::u16string& rel, std::size_t size = 64) {
  std::string seed(rel.begin(), rel.end()); // names here are ASCII
  std::string out;
  while (out.size() < size)
    out += seed + "#" + std::to_string(out.size()) + ";";
  out.resize(size);
  return out;
}

void Put(const std::u16string& path, const std::string& bytes, DWORD attrs = 0) {
  ScopedFileHandle h(CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 attrs ? attrs : FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(h) << "cannot create a test file, error " << GetLastError();
  DWORD wrote = 0;
  ASSERT_TRUE(WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr));
  ASSERT_EQ(wrote, bytes.size());
}

// Every file under root by its path relative to root (starting with "\"),
// with its content.
using Files = std::map<std::u16string, std::string>;
void Walk(const std::u16string& root, const std::u16string& rel, Files& out) {
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileW(AsWide(root + rel + u"\\*"), &fd));
  if (!h)
    return;
  do {
    const std::u16string name = ToU16(fd.cFileName);
    if (name == u"." || name == u"..")
      continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Walk(root, rel + u"\\" + name, out);
    else
      out[rel + u"\\" + name] = ReadIfThere(root + rel + u"\\" + name).value_or("<unreadable>");
  } while (FindNextFileW(h.Get(), &fd));
}
Files FilesUnder(const std::u16string& root) {
  Files f;
  Walk(root, u"", f);
  return f;
}

// A tree with a read-only, a hidden and a system file, a hidden folder and
// nesting; `big` files of `bigSize` bytes each besides. Gives its files.
Files BuildTree(const std::u16string& root, int big = 0, std::size_t bigSize = 0) {
  Files f;
  auto put = [&](const std::u16string& rel, DWORD attrs = 0, std::size_t size = 64) {
    f[rel] = ContentFor(rel, size);
    Put(root + rel, f[rel], attrs);
  };
  EXPECT_TRUE(CreateDirectoryW(AsWide(root), nullptr));
  put(u"\\plain.txt");
  put(u"\\readonly.txt", FILE_ATTRIBUTE_READONLY);
  put(u"\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  CreateDirectoryW(AsWide(root + u"\\sub"), nullptr);
  put(u"\\sub\\b.txt");
  CreateDirectoryW(AsWide(root + u"\\sub\\deep"), nullptr);
  put(u"\\sub\\deep\\held.txt");
  put(u"\\sub\\deep\\c.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  CreateDirectoryW(AsWide(root + u"\\secret"), nullptr);
  SetFileAttributesW(AsWide(root + u"\\secret"), FILE_ATTRIBUTE_HIDDEN);
  put(u"\\secret\\d.txt", FILE_ATTRIBUTE_SYSTEM);
  for (int i = 0; i < big; ++i)
    put(u"\\sub\\big" + ToU16(std::to_wstring(i).c_str()) + u".bin", 0, bigSize);
  return f;
}

// The volume of about 1 MiB that scripts/setup.sh mounts (as S: and as
// C:\tavu-small); false when there is none.
bool SmallVolumeAt(const std::u16string& root) {
  ULARGE_INTEGER avail{}, total{}, free{};
  return GetDiskFreeSpaceExW(AsWide(root), &avail, &total, &free) &&
         total.QuadPart <= 8ull * 1024 * 1024;
}
constexpr const char* kNoSmallVolume =
    "no small volume of its own at S: and C:\\tavu-small (mounting a tmpfs needs root; see "
    "scripts/setup.sh)";

constexpr int kMove = 1, kCopy = 2;

class FaultFolders : public testing::Test {
protected:
  void SetUp() override {
    saved_ = Pelvane::DataFolder;
    Pelvane::DataFolder = dir.Folder(u"data") + u"\\";
  }
  void TearDown() override { Pelvane::DataFolder = saved_; }

  // Moves or copies the current item into `into` through OK and the folder
  // browser; gives the text of the log's newest line.
  std::u16string Commit(MainWindow& w, int mode, const std::u16string& into) {
    w->PPLog.Checked = true;
    w->ComboBox.SetItemIndex(mode);
    {
      DialogDriver picker(Pick(into));
      w->BtnOK.Click();
      EXPECT_TRUE(picker.answered) << "no folder browser";
    }
    std::vector<std::u16string> lines;
    Pelvane::LoadList(lines, Pelvane::DataFolder + u"TAVU.log", tavu::TextEncoding::Ansi);
    if (lines.empty())
      return {};
    const auto stamp = lines[0].find(u' ', lines[0].find(u' ') + 1);
    return lines[0].substr(stamp + 1);
  }

  static std::u16string Line(const std::u16string& item, const std::u16string& dest, int mode,
                             bool failed) {
    return item + u" -> " + dest + (mode == kMove ? u" 移動" : u" コピー") +
           (failed ? u"失敗" : u"");
  }

  ScratchFolder dir;

private:
  std::u16string saved_;
};

TEST_F(FaultFolders, AFileHeldOpenDeepInsideFailsTheCopyAndEverythingElseArrivesWhole) {
  const auto tree = dir.Path(u"tree"), into = dir.Folder(u"into");
  Files files = BuildTree(tree);
  MainWindow w({tree});
  std::u16string line;
  {
    // An editor holding its document without letting anyone read it.
    ScopedFileHandle held(CreateFileW(AsWide(tree + u"\\sub\\deep\\held.txt"), GENERIC_READ, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    line = Commit(w, kCopy, into);
  }
  EXPECT_EQ(line, Line(tree, into + u"\\tree", kCopy, true));
  EXPECT_EQ(FilesUnder(tree), files);
  files.erase(u"\\sub\\deep\\held.txt");
  EXPECT_EQ(FilesUnder(into + u"\\tree"), files);
}

TEST_F(FaultFolders, AFileHeldOpenDeepInsideStaysBehindWholeWhenTheFolderMovesToAnotherVolume) {
  if (!SmallVolumeAt(u"C:\\tavu-small\\"))
    GTEST_SKIP() << kNoSmallVolume;
  // The same root on another volume: no one rename can move the folder, so
  // its entries are moved one by one, each a copy and a deletion.
  ScratchFolder other(u"tavu-into-", u"C:\\tavu-small\\");
  const auto tree = dir.Path(u"tree");
  Files files = BuildTree(tree);
  MainWindow w({tree});
  std::u16string line;
  {
    // Readable, but not to be deleted or renamed while it is open.
    ScopedFileHandle held(CreateFileW(AsWide(tree + u"\\sub\\deep\\held.txt"), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    line = Commit(w, kMove, other.Root());
  }
  const auto dest = other.Path(u"tree");
  EXPECT_EQ(line, Line(tree, dest, kMove, true));
  EXPECT_EQ(FilesUnder(tree), (Files{{u"\\sub\\deep\\held.txt", files[u"\\sub\\deep\\held.txt"]}}));
  files.erase(u"\\sub\\deep\\held.txt");
  EXPECT_EQ(FilesUnder(dest), files);
  // The flags travel with the files.
  EXPECT_EQ(GetFileAttributesW(AsWide(dest + u"\\readonly.txt")) & FILE_ATTRIBUTE_READONLY,
            DWORD(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(AsWide(dest + u"\\sub\\deep\\c.txt")) &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(GetFileAttributesW(AsWide(dest + u"\\secret")) & FILE_ATTRIBUTE_HIDDEN);
}

// Every one of `files` is whole at its source or at its destination
// (`moved`: not at both); whatever lies at the destination is a whole copy
// of one of `known`.
void ExpectNothingLostNorTorn(const Files& files, const Files& known, const Files& atSource,
                              const Files& atDest, bool moved) {
  for (const auto& [rel, content] : files) {
    const auto s = atSource.find(rel), d = atDest.find(rel);
    const bool here = s != atSource.end(), there = d != atDest.end();
    EXPECT_TRUE(here || there) << "lost: " << testing::PrintToString(rel);
    EXPECT_TRUE(!here || s->second == content) << "torn at its source";
    EXPECT_TRUE(!there || d->second == content) << "torn at its destination";
    EXPECT_FALSE(moved && here && there) << "in two places";
  }
  for (const auto& [rel, content] : atDest) {
    const auto k = known.find(rel);
    if (k == known.end())
      ADD_FAILURE() << "unknown file at the destination: " << testing::PrintToString(rel);
    else
      EXPECT_EQ(content, k->second) << "torn at its destination";
  }
}

TEST_F(FaultFolders, AVolumeThatFillsUpFailsTheCopyAndTheMoveAndLeavesNothingTorn) {
  if (!SmallVolumeAt(u"S:\\") || !SmallVolumeAt(u"C:\\tavu-small\\"))
    GTEST_SKIP() << kNoSmallVolume;
  // Six files of 300 KiB: three fit on the volume, the fourth fills it.
  const auto copied = dir.Path(u"copied"), moved = dir.Path(u"moved");
  const Files copiedFiles = BuildTree(copied, 6, 300 * 1024);
  const Files movedFiles = BuildTree(moved, 6, 300 * 1024);
  MainWindow w({copied, moved});
  {
    ScratchFolder onS(u"tavu-full-", u"S:\\");
    EXPECT_EQ(Commit(w, kCopy, onS.Root()), Line(copied, onS.Path(u"copied"), kCopy, true));
    EXPECT_EQ(FilesUnder(copied), copiedFiles);
    const Files there = FilesUnder(onS.Path(u"copied"));
    EXPECT_LT(there.size(), copiedFiles.size());
    ExpectNothingLostNorTorn(copiedFiles, copiedFiles, copiedFiles, there, false);
  }
  {
    ScratchFolder onC(u"tavu-full-", u"C:\\tavu-small\\");
    EXPECT_EQ(Commit(w, kMove, onC.Root()), Line(moved, onC.Path(u"moved"), kMove, true));
    const Files here = FilesUnder(moved), there = FilesUnder(onC.Path(u"moved"));
    EXPECT_FALSE(here.empty());
    EXPECT_FALSE(there.empty());
    ExpectNothingLostNorTorn(movedFiles, movedFiles, here, there, true);
  }
}

TEST_F(FaultFolders, AFileTooBigForTheVolumeIsNeitherCopiedNorMovedInPart) {
  if (!SmallVolumeAt(u"S:\\"))
    GTEST_SKIP() << kNoSmallVolume;
  ScratchFolder onS(u"tavu-full-", u"S:\\");
  const auto a = dir.Path(u"a.bin"), b = dir.Path(u"b.bin");
  const auto big = ContentFor(u"big", 2 * 1024 * 1024);
  Put(a, big);
  Put(b, big);
  MainWindow w({a, b});
  EXPECT_EQ(Commit(w, kCopy, onS.Root()), Line(a, onS.Path(u"a.bin"), kCopy, true));
  // To another drive a move is a copy and then a deletion of the source.
  EXPECT_EQ(Commit(w, kMove, onS.Root()), Line(b, onS.Path(u"b.bin"), kMove, true));
  EXPECT_EQ(ReadIfThere(a), big);
  EXPECT_EQ(ReadIfThere(b), big);
  EXPECT_TRUE(FilesUnder(onS.Root()).empty()) << "a torn copy was left";
}

// A second thread that, once the walk has begun, takes original files away
// and adds new ones (each appears whole, by a rename from a staging folder
// on the same volume) in random folders of the source.
class Meddler {
public:
  Meddler(std::u16string source, std::u16string walkStarted, std::u16string staging,
          std::vector<std::u16string> originals, std::vector<std::u16string> folders)
      : source_(std::move(source)), started_(std::move(walkStarted)), staging_(std::move(staging)),
        originals_(std::move(originals)), folders_(std::move(folders)), thread_([this] { Run(); }) {
  }
  ~Meddler() { Stop(); }
  Meddler(const Meddler&) = delete;
  Meddler& operator=(const Meddler&) = delete;

  // Ends the meddling; the results below are complete afterwards.
  void Stop() {
    done_ = true;
    if (thread_.joinable())
      thread_.join();
  }

  Files added;                    // relative path, content
  std::set<std::u16string> taken; // originals deleted
  int actionsDuringWalk = 0;

private:
  void Run() {
    const ULONGLONG deadline = GetTickCount64() + 8000;
    while (!done_ && !Exists(started_) && GetTickCount64() < deadline)
      Sleep(0);
    std::mt19937 random(11);
    std::shuffle(originals_.begin(), originals_.end(), random);
    for (std::size_t i = 0; !done_ && i < originals_.size() / 2; ++i) {
      if (DeleteFileW(AsWide(source_ + originals_[i])))
        taken.insert(originals_[i]);
      const auto rel = folders_[random() % folders_.size()] + u"\\added" +
                       ToU16(std::to_wstring(i).c_str()) + u".txt";
      const auto content = ContentFor(rel);
      const auto staged = staging_ + u"\\s" + ToU16(std::to_wstring(i).c_str());
      Put(staged, content);
      if (MoveFileExW(AsWide(staged), AsWide(source_ + rel), 0))
        added[rel] = content;
      else
        DeleteFileW(AsWide(staged));
      ++actionsDuringWalk;
      Sleep(1);
    }
  }

  std::u16string source_, started_, staging_;
  std::vector<std::u16string> originals_, folders_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// A wide tree of small files: `folders` folders of `each` files.
Files BuildWideTree(const std::u16string& root, int folders, int each,
                    std::vector<std::u16string>* folderNames) {
  Files f;
  EXPECT_TRUE(CreateDirectoryW(AsWide(root), nullptr));
  folderNames->push_back(u"");
  for (int d = 0; d < folders; ++d) {
    const auto folder = u"\\f" + ToU16(std::to_wstring(d).c_str());
    EXPECT_TRUE(CreateDirectoryW(AsWide(root + folder), nullptr));
    folderNames->push_back(folder);
    for (int i = 0; i < each; ++i) {
      const auto rel = folder + u"\\n" + ToU16(std::to_wstring(i).c_str()) + u".txt";
      f[rel] = ContentFor(rel);
      Put(root + rel, f[rel], i % 7 == 0 ? FILE_ATTRIBUTE_READONLY : 0);
    }
  }
  return f;
}

std::vector<std::u16string> Keys(const Files& f) {
  std::vector<std::u16string> keys;
  for (const auto& [rel, content] : f)
    keys.push_back(rel);
  return keys;
}

TEST_F(FaultFolders, TheSourceChangingDuringACopyLosesNothingAndTheLogTellsTheTruth) {
  const auto tree = dir.Path(u"tree"), into = dir.Folder(u"into");
  const auto staging = dir.Folder(u"staging");
  std::vector<std::u16string> folders;
  const Files originals = BuildWideTree(tree, 20, 20, &folders);
  MainWindow w({tree});
  Meddler meddler(tree, into + u"\\tree", staging, Keys(originals), folders);
  const auto line = Commit(w, kCopy, into);
  meddler.Stop();
  std::cout << "[ race     ] copy: " << meddler.actionsDuringWalk << " changes, "
            << meddler.taken.size() << " taken, " << meddler.added.size() << " added; "
            << (line.ends_with(u"失敗") ? "failed" : "done") << "\n";

  Files expected = originals;
  for (const auto& rel : meddler.taken)
    expected.erase(rel);
  expected.insert(meddler.added.begin(), meddler.added.end());
  const Files here = FilesUnder(tree), there = FilesUnder(into + u"\\tree");
  // The copy never touches its source.
  EXPECT_EQ(here, expected);
  Files everything = originals;
  everything.insert(meddler.added.begin(), meddler.added.end());
  ExpectNothingLostNorTorn(expected, everything, here, there, false);

  const bool failed = line.ends_with(u"失敗");
  EXPECT_TRUE(line == Line(tree, into + u"\\tree", kCopy, failed));
  bool missing = false;
  for (const auto& [rel, content] : originals) {
    if (meddler.taken.count(rel))
      missing = missing || !there.count(rel);
    else
      EXPECT_TRUE(failed || there.count(rel)) << "not copied, yet no failure logged";
  }
  EXPECT_TRUE(!failed || missing) << "a failure was logged, yet everything arrived";
}

TEST_F(FaultFolders, TheSourceChangingDuringAMoveLosesNothingAndTheLogTellsTheTruth) {
  // On another volume under the same root the walk copies and deletes file
  // by file; without one, a folder held open keeps the one rename from
  // moving the whole tree at once (and then the source folder always stays).
  const bool small = SmallVolumeAt(u"C:\\tavu-small\\");
  ScratchFolder side(u"tavu-race-", small ? u"C:\\tavu-small\\" : ScratchFolder::TempFolder());
  const auto tree = side.Path(u"tree"), staging = side.Folder(u"staging");
  const auto into = dir.Folder(u"into");
  std::vector<std::u16string> folders;
  const Files originals = BuildWideTree(tree, 10, 10, &folders);
  MainWindow w({tree});
  std::u16string line;
  Meddler meddler(tree, into + u"\\tree", staging, Keys(originals), folders);
  {
    ScopedFileHandle hold;
    if (!small)
      hold.Reset(CreateFileW(AsWide(tree), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    line = Commit(w, kMove, into);
  }
  meddler.Stop();
  std::cout << "[ race     ] move" << (small ? "" : " (source folder held)") << ": "
            << meddler.actionsDuringWalk << " changes, " << meddler.taken.size() << " taken, "
            << meddler.added.size() << " added; " << (line.ends_with(u"失敗") ? "failed" : "done")
            << "\n";

  Files expected = originals;
  for (const auto& rel : meddler.taken)
    expected.erase(rel);
  expected.insert(meddler.added.begin(), meddler.added.end());
  Files everything = originals;
  everything.insert(meddler.added.begin(), meddler.added.end());
  const Files here = FilesUnder(tree), there = FilesUnder(into + u"\\tree");
  // What the other thread took away may have been moved before it went.
  ExpectNothingLostNorTorn(expected, everything, here, there, true);
  for (const auto& rel : meddler.taken)
    EXPECT_EQ(here.count(rel), 0u);
  const bool failed = line.ends_with(u"失敗");
  EXPECT_TRUE(line == Line(tree, into + u"\\tree", kMove, failed));
  EXPECT_EQ(failed, Exists(tree)) << "the log says " << (failed ? "failed" : "done");
}

} // namespace
