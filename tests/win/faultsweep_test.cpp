// Every write of the program's own files made to fail at each of its file
// steps in turn (open, read, create, write, flush, close, replace), the
// steps on the program's other files left alone: after
// each failure the file is the old one or the new one and nothing else,
// nothing is left beside it, and the error box names the file and the
// failing step's reason. Then the same writers on a volume that is full.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/filesteps.h"
#include "common/handle.h"
#include "common/inifile.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "core/error.h"
#include "core/journal.h"
#include "core/listfile.h"
#include "fixture.h"
#include "forms/note.h"
#include "scratch.h"

namespace {

using testsupport::Exists;
using testsupport::ReadIfThere;

using testsupport::ReadBytes;
using testsupport::WriteBytes;

using wintest::DataFolderScope;

using wintest::ErrorCapture;

using wintest::MainWindow;
using wintest::ScratchFolder;

enum class Step { Open, Probe, Read, Create, Write, Flush, Close, Replace };

const char* Name(Step s) {
  static const char* const names[] = {"open",  "busy test", "read",  "create",
                                      "write", "flush",     "close", "replace"};
  return names[static_cast<int>(s)];
}

// The reason each step gives when it fails: what a full disk, a lost share
// or another program holding the file would report.
DWORD Reason(Step s) {
  switch (s) {
  case Step::Open:
    return ERROR_LOCK_VIOLATION;
  case Step::Probe:
    return ERROR_SHARING_VIOLATION;
  case Step::Read:
    return ERROR_READ_FAULT;
  case Step::Create:
    return ERROR_ACCESS_DENIED;
  case Step::Write:
    return ERROR_DISK_FULL;
  case Step::Flush:
    return ERROR_WRITE_FAULT;
  case Step::Close:
    return ERROR_NETNAME_DELETED;
  case Step::Replace:
    return ERROR_SHARING_VIOLATION;
  }
  return ERROR_GEN_FAILURE;
}

// The real steps, in use while it lives, except that the Nth step on the
// file at `path` (or on the new content written beside it) fails.
class FaultySteps : public Pelvane::FileSteps {
public:
  FaultySteps(int failAt, std::u16string path)
      : failAt_(failAt), path_(std::move(path)), previous_(Pelvane::UseFileSteps(this)) {}
  ~FaultySteps() override { Pelvane::UseFileSteps(previous_); }
  FaultySteps(const FaultySteps&) = delete;
  FaultySteps& operator=(const FaultySteps&) = delete;

  int count = 0;
  std::optional<Step> failed;
  bool failedWhileWriting = false; // the failed close was of a file being written

  HANDLE OpenToRead(const std::u16string& path, DWORD share) override {
    // The log's test for another program holding it opens with no sharing at all.
    if (Watched(path) && Fail(share == 0 ? Step::Probe : Step::Open))
      return INVALID_HANDLE_VALUE;
    return Mine(path, FileSteps::OpenToRead(path, share));
  }
  HANDLE Create(const std::u16string& path) override {
    if (Watched(path) && Fail(Step::Create))
      return INVALID_HANDLE_VALUE;
    HANDLE h = Mine(path, FileSteps::Create(path));
    if (Watched(path))
      writing_.insert(h);
    return h;
  }
  bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got) override {
    got = 0;
    return !(mine_.count(file) && Fail(Step::Read)) && FileSteps::Read(file, buffer, size, got);
  }
  bool Write(HANDLE file, const void* data, DWORD size, DWORD& wrote) override {
    if (!mine_.count(file) || !Fail(Step::Write))
      return FileSteps::Write(file, data, size, wrote);
    // A disk that fills up takes the first part and refuses the rest.
    FileSteps::Write(file, data, size / 2, wrote);
    SetLastError(Reason(Step::Write));
    return false;
  }
  bool Flush(HANDLE file) override {
    return !(mine_.count(file) && Fail(Step::Flush)) && FileSteps::Flush(file);
  }
  bool Close(HANDLE file) override {
    const bool wasWriting = writing_.erase(file) > 0;
    const bool watched = mine_.erase(file) > 0;
    // The handle is gone whatever the close reports.
    const bool closed = FileSteps::Close(file);
    if (watched && Fail(Step::Close)) {
      failedWhileWriting = wasWriting;
      return false;
    }
    return closed;
  }
  bool Replace(const std::u16string& from, const std::u16string& to) override {
    return !(Watched(to) && Fail(Step::Replace)) && FileSteps::Replace(from, to);
  }

private:
  bool Watched(const std::u16string& path) const {
    return path == path_ || path == path_ + u".new";
  }
  HANDLE Mine(const std::u16string& path, HANDLE h) {
    if (Watched(path) && h != INVALID_HANDLE_VALUE)
      mine_.insert(h);
    return h;
  }

  bool Fail(Step s) {
    if (++count != failAt_)
      return false;
    failed = s;
    SetLastError(Reason(s));
    return true;
  }

  int failAt_;
  std::u16string path_;
  Pelvane::FileSteps* previous_;
  std::set<HANDLE> mine_, writing_;
};

std::u16string Number(int n) {
  return ToU16(std::to_wstring(n).c_str());
}

// One of the program's writers: the file it writes in the data folder, what
// the file holds beforehand, one write (its failures reported through the
// error box, as the program reports them) and the test of a new content.
struct Writer {
  const char* what;
  std::u16string file;
  std::string old;
  std::function<void(int run)> write;
  // `after` is a whole new content; `reference` is what a write without
  // faults gave, `before` what was there.
  std::function<bool(const std::optional<std::string>& before, const std::string& after,
                     const std::string& reference, int run)>
      isNew;
};

enum class Outcome { Written, CannotOpen, CannotCreate };

// What the program must make of the failed step.
Outcome Expected(const FaultySteps& f) {
  if (!f.failed)
    return Outcome::Written;
  switch (*f.failed) {
  case Step::Probe:
    // A log held by another program is written once it lets go, here at the
    // next look; a missing one cannot be held.
    return Outcome::Written;
  case Step::Open:
  case Step::Read:
    return Outcome::CannotOpen;
  case Step::Close:
    // Closing what was only read loses nothing.
    return f.failedWhileWriting ? Outcome::CannotCreate : Outcome::Written;
  default:
    return Outcome::CannotCreate;
  }
}

// Runs the writer once failing its first step, once its second, and so on
// until a run takes all its steps without a fault; gives the number of steps.
int Sweep(const Writer& w, bool existing, std::set<Step>& failedSteps) {
  const std::u16string path = Pelvane::DataFolder + w.file;
  const std::optional<std::string> before =
      existing ? std::optional<std::string>(w.old) : std::nullopt;
  auto reset = [&] {
    DeleteFileW(AsWide(path));
    if (before)
      WriteBytes(path, *before);
  };
  reset();
  {
    ErrorCapture errors;
    w.write(0);
    EXPECT_TRUE(errors.texts.empty()) << "a write without faults failed";
  }
  const std::string reference = ReadIfThere(path).value_or("<missing>");
  for (int n = 1; n < 100; ++n) {
    reset();
    ErrorCapture errors;
    std::optional<Step> failed;
    Outcome expected;
    int count;
    {
      FaultySteps faults(n, path);
      w.write(n);
      failed = faults.failed;
      expected = Expected(faults);
      count = faults.count;
    }
    SCOPED_TRACE(testing::Message()
                 << w.what << (existing ? ", existing" : ", missing") << ", step " << n << " ("
                 << (failed ? Name(*failed) : "none") << ") failing");
    const auto after = ReadIfThere(path);
    EXPECT_FALSE(Exists(path + u".new")) << "a stray .new file";
    if (expected == Outcome::Written) {
      EXPECT_TRUE(errors.texts.empty());
      if (after)
        EXPECT_TRUE(w.isNew(before, *after, reference, n)) << *after;
      else
        ADD_FAILURE() << "no file written";
    } else {
      EXPECT_EQ(after, before) << "the file is not the old one";
      std::vector<std::u16string> shown;
      const auto reason = Pelvane::SystemMessage(Reason(*failed));
      if (expected == Outcome::CannotOpen)
        shown.push_back(tavu::ErrorBoxText(tavu::CannotOpenText(path, reason)));
      else if (expected == Outcome::CannotCreate)
        shown.push_back(tavu::ErrorBoxText(tavu::CannotCreateText(path, reason)));
      EXPECT_EQ(errors.texts, shown);
    }
    if (failed) {
      failedSteps.insert(*failed);
    } else {
      EXPECT_EQ(count, n - 1) << "the steps of one write changed from run to run";
      return count;
    }
  }
  ADD_FAILURE() << w.what << ": no run went through";
  return 0;
}

std::vector<std::string> SplitCrLf(const std::string& text, bool* whole) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  *whole = start == text.size();
  return lines;
}

std::string Ansi(const std::u16string& text) {
  return Pelvane::AnsiCodePage().Encode(text);
}

class FaultSweep : public testing::Test {
protected:
  void SetUp() override {
    // Messages for every reason, and all different, or the test could not
    // tell which step's reason was shown.
    std::set<std::u16string> texts;
    for (Step s : {Step::Open, Step::Read, Step::Create, Step::Write, Step::Flush, Step::Close,
                   Step::Replace})
      texts.insert(Pelvane::SystemMessage(Reason(s)));
    ASSERT_EQ(texts.size(), 7u);
    ASSERT_EQ(texts.count(u""), 0u);
  }

  ScratchFolder dir;
  DataFolderScope data{dir.Folder(u"data")};
};

// The settings file at the close, the log and the undo journal through a
// commit, and the word list window's settings at its close.
TEST_F(FaultSweep, EveryWriterLeavesTheOldFileOrTheNewOneAndSaysWhy) {
  MainWindow w;
  w->PPLog.Checked = true;
  w->CHKOKClose.SetChecked(false);
  w->ComboBox.SetItemIndex(0);
  // Made when its row comes: the main window's close would write its file too.
  TNoteForm* note = nullptr;

  std::u16string lastRenamed, lastTo;
  int items = 0;
  // Each run renames an item of its own: a rename line goes to the log, an
  // entry to the undo journal.
  const auto commit = [&](int) {
    const auto n = Number(++items);
    const auto item = dir.File(u"item" + n + u".txt");
    w->AddPath(item);
    w->LoadCurrentItem();
    w->EditName.SetText(u"done" + n);
    w->BtnOKClick();
    lastTo = dir.Path(u"done" + n + u".txt");
    ASSERT_TRUE(Exists(lastTo));
    lastRenamed = item + u"->" + lastTo;
  };
  const std::vector<Writer> writers = {
      {"TAVU.ini at the close", u"TAVU.ini",
       "[Window]\r\n; written by hand\r\nWidth=1\r\nHeight=2\r\nOKClose=1\r\n",
       [&](int) { w->FormCloseQuery(); },
       [](const auto&, const std::string& after, const std::string& reference, int) {
         return after == reference;
       }},
      {"TAVU.log by a commit", u"TAVU.log", "older line\r\nold line\r\n", commit,
       [&](const std::optional<std::string>& before, const std::string& after, const auto&, int) {
         bool whole = false, wasWhole = true;
         const auto lines = SplitCrLf(after, &whole);
         const auto old = before ? SplitCrLf(*before, &wasWhole) : std::vector<std::string>{};
         return whole && lines.size() == old.size() + 1 &&
                lines[0].ends_with(" " + Ansi(lastRenamed)) &&
                std::equal(old.begin(), old.end(), lines.begin() + 1);
       }},
      {"TAVU-Undo.txt by a commit", u"TAVU-Undo.txt", "R\tC:\\d\\a\tC:\\d\\b\t1\t2\r\n", commit,
       [&](const std::optional<std::string>& before, const std::string& after, const auto&, int) {
         const auto journal = tavu::ParseJournal(after);
         const auto old = before ? tavu::ParseJournal(*before) : tavu::UndoJournal{};
         return after == tavu::JournalBytes(journal) && journal.size() == old.size() + 1 &&
                journal[0].steps.size() == 1 && journal[0].steps[0].to == lastTo &&
                std::equal(old.begin(), old.end(), journal.begin() + 1);
       }},
      {"K-Sorel.ini at the word list window's close", u"K-Sorel.ini",
       "[Note]\r\n; written by hand\r\nTop=1\r\nExtra=x\r\n", [&](int) { note->FormCloseQuery(); },
       [](const auto&, const std::string& after, const std::string& reference, int) {
         return after == reference;
       }},
  };

  for (const auto& writer : writers) {
    if (writer.file == u"K-Sorel.ini")
      note = &w->StartNoteWindow();
    std::set<Step> failed;
    const int withFile = Sweep(writer, true, failed);
    const int withoutFile = Sweep(writer, false, failed);
    std::cout << "[ sweep    ] " << writer.what << ": " << withFile
              << " steps over an existing file, " << withoutFile << " without one\n";
    // Every step of a replacing write went through the steps and was made to fail.
    for (Step s : {Step::Open, Step::Read, Step::Create, Step::Write, Step::Flush, Step::Close,
                   Step::Replace})
      EXPECT_EQ(failed.count(s), 1u) << writer.what << " never failed at " << Name(s);
  }
}

// What a write cut short by a crash leaves beside a file, its .new, made
// read-only and hidden, never blocks the next writes; and a file the user
// hid stays hidden however often it is written.
TEST_F(FaultSweep, AWriteCutShortNeverBlocksTheNextAndTheFileKeepsItsAttributes) {
  MainWindow w;
  w->PPLog.Checked = true;
  w->CHKOKClose.SetChecked(false);
  w->ComboBox.SetItemIndex(0);
  int items = 0;
  const auto commit = [&] {
    const auto n = Number(++items);
    w->AddPath(dir.File(u"item" + n + u".txt"));
    w->LoadCurrentItem();
    w->EditName.SetText(u"done" + n);
    w->BtnOKClick();
  };
  const std::pair<const char16_t*, std::function<void()>> writers[] = {
      {u"TAVU.ini", [&] { w->FormCloseQuery(); }},
      {u"TAVU.log", commit},
      {u"TAVU-Undo.txt", commit},
  };
  for (const auto& [file, write] : writers) {
    SCOPED_TRACE(Ansi(file));
    const std::u16string path = Pelvane::DataFolder + file;
    WriteBytes(path, "old\r\n");
    WriteBytes(path + u".new", "torn");
    ASSERT_TRUE(SetFileAttributesW(AsWide(path), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(AsWide(path + u".new"),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ErrorCapture errors;
    // Twice: the first write must not leave the file unwritable for the second.
    for (int i = 0; i < 2; ++i)
      write();
    EXPECT_TRUE(errors.texts.empty()) << Ansi(errors.texts.empty() ? u"" : errors.texts[0]);
    EXPECT_FALSE(Exists(path + u".new")) << "a stray .new file";
    const auto written = ReadIfThere(path).value_or("<missing>");
    EXPECT_NE(written, "old\r\n");
    EXPECT_EQ(written.find("torn"), std::string::npos);
    EXPECT_EQ(GetFileAttributesW(AsWide(path)) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  }
}

// A volume of its own that holds about 1 MiB (scripts/setup.sh mounts it as
// S:); false when there is none.
bool SmallVolumeReady(const std::u16string& root) {
  ULARGE_INTEGER avail{}, total{}, free{};
  return GetDiskFreeSpaceExW(AsWide(root), &avail, &total, &free) &&
         total.QuadPart <= 8ull * 1024 * 1024;
}

// Writes into `path` until the volume refuses another byte.
void FillVolume(const std::u16string& path) {
  ScopedFileHandle h(CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(h);
  const std::string chunk(64 * 1024, 'f');
  for (DWORD size : {65536u, 4096u, 512u, 1u}) {
    for (int i = 0; i < 100000; ++i) {
      DWORD wrote = 0;
      if (!WriteFile(h.Get(), chunk.data(), size, &wrote, nullptr) || wrote < size)
        break;
    }
  }
}

// The real thing: no step is made to fail, the volume is simply full.
TEST_F(FaultSweep, OnAFullVolumeTheWritersKeepTheOldFileAndSayTheDiskIsFull) {
  if (!SmallVolumeReady(u"S:\\"))
    GTEST_SKIP() << "S: is not a small volume of its own (mounting a tmpfs needs root; see "
                    "scripts/setup.sh)";
  ScratchFolder small(u"tavu-full-", u"S:\\");
  DataFolderScope onSmall(small.Root());
  const auto log = small.Path(u"TAVU.log"), ini = small.Path(u"TAVU.ini"),
             journal = small.Path(u"TAVU-Undo.txt");
  WriteBytes(log, "old line\r\n");
  MainWindow w;
  w->PPLog.Checked = true;
  w->CHKOKClose.SetChecked(false);
  w->ComboBox.SetItemIndex(0);
  WriteBytes(ini, "[Window]\r\nWidth=1\r\n");
  ASSERT_NO_FATAL_FAILURE(FillVolume(small.Path(u"filler")));

  ErrorCapture errors;
  const auto item = dir.File(u"a.txt");
  w->AddPath(item);
  w->LoadCurrentItem();
  w->EditName.SetText(u"b");
  w->BtnOKClick();
  EXPECT_TRUE(Exists(dir.Path(u"b.txt")));
  w->FormCloseQuery();

  const auto full = Pelvane::SystemMessage(ERROR_DISK_FULL);
  EXPECT_EQ(errors.texts,
            (std::vector<std::u16string>{tavu::ErrorBoxText(tavu::CannotCreateText(journal, full)),
                                         tavu::ErrorBoxText(tavu::CannotCreateText(log, full)),
                                         tavu::ErrorBoxText(tavu::CannotCreateText(ini, full))}));
  EXPECT_FALSE(Exists(journal));
  EXPECT_FALSE(Exists(journal + u".new"));
  EXPECT_EQ(ReadIfThere(log), "old line\r\n");
  EXPECT_EQ(ReadIfThere(ini), "[Window]\r\nWidth=1\r\n");
  EXPECT_FALSE(Exists(log + u".new"));
  EXPECT_FALSE(Exists(ini + u".new"));
}

} // namespace
