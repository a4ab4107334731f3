// Taking back the last OK on real files: each kind of OK (also one whose move
// or copy did not happen), in a window that was already open when the OK was
// done elsewhere; every refusal, which changes nothing; a partial undo; and a
// journal that is damaged or cannot be read.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/handle.h"
#include "common/journal.h"
#include "common/listfile.h"
#include "common/wide.h"
#include "dialogs.h"
#include "fixture.h"
#include "forms/note.h"
#include "scratch.h"

namespace {

using testsupport::Decimal;
using testsupport::Exists;
using testsupport::ReadBytes;
using testsupport::WriteBytes;
using wintest::DialogDriver;
using wintest::MainWindow;
using wintest::ScratchFolder;

// A message box as a test saw it: its title and text.
struct Box {
  std::u16string title, text;
  bool operator==(const Box&) const = default;
};
const Box kNoBox{};

// Shift+Ctrl+Z pressed in the focused window, as the keyboard delivers it;
// gives the box it brought up, answered with OK.
Box PressUndo() {
  BYTE saved[256], keys[256];
  GetKeyboardState(saved);
  std::memcpy(keys, saved, sizeof keys);
  keys[VK_SHIFT] = keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  HWND target = GetFocus();
  EXPECT_NE(target, nullptr);
  DialogDriver box(wintest::PressOk);
  PostMessageW(target, WM_KEYDOWN, 'Z', 1);
  EXPECT_TRUE(wintest::PumpUntil([&] {
    MSG m;
    return !PeekMessageW(&m, target, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
  }));
  box.Cancel();
  SetKeyboardState(saved);
  return {box.title, box.shown};
}

// Every file and folder under a folder with its content: what "nothing changed" compares.
std::map<std::u16string, std::string> Tree(const std::u16string& root) {
  std::map<std::u16string, std::string> out;
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileW(AsWide(root + u"\\*"), &fd));
  while (h) {
    const std::u16string name = ToU16(fd.cFileName), path = root + u"\\" + name;
    if (name == u"." || name == u"..") {
    } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[path] = "<folder>";
      out.merge(Tree(path));
    } else {
      out[path] = ReadBytes(path);
    }
    if (!FindNextFileW(h.Get(), &fd))
      break;
  }
  return out;
}

// The folder of Wine's desktop trash, where the shell's Recycle Bin puts things.
std::u16string TrashFiles() {
  wchar_t buf[MAX_PATH] = {};
  std::u16string data;
  if (GetEnvironmentVariableW(L"XDG_DATA_HOME", buf, MAX_PATH) && buf[0] == L'/') {
    data = u"Z:" + ToU16(buf);
    std::replace(data.begin(), data.end(), u'/', u'\\');
  } else if (GetEnvironmentVariableW(L"WINEHOMEDIR", buf, MAX_PATH)) {
    data = ToU16(buf) + u"\\.local\\share";
    if (data.starts_with(u"\\??\\"))
      data.erase(0, 4);
  } else {
    return {};
  }
  return data + u"\\Trash\\files";
}

class Undo : public testing::Test {
protected:
  // An item in a folder of its own, committed in a window of its own that
  // closes after the OK: with the name, in the mode, into `folder`.
  struct Done {
    std::u16string item, src, renamed, dest;
  };
  Done Commit(const std::u16string& item, const std::u16string& name, int mode = 0,
              const std::u16string& folder = u"") {
    const bool file = Pelvane::IsExistingFile(item);
    const std::u16string renamed = Pelvane::FolderPart(item) + name + (file ? u".txt" : u"");
    MainWindow w({item});
    w->PPLog.Checked = true;
    w->ComboBox.SetItemIndex(mode);
    w->EditName.SetText(name);
    std::optional<DialogDriver> picker;
    if (mode)
      picker.emplace(wintest::Pick(folder));
    w->BtnOK.Click();
    EXPECT_TRUE(tk::ApplicationTestAccess::Terminated()) << "the OK did not close the window";
    return {item, Pelvane::FolderOf(item), renamed,
            mode ? tavu::DestinationFor(folder, renamed) : u""};
  }

  std::vector<std::u16string> LogTexts() {
    std::vector<std::u16string> lines;
    Pelvane::LoadList(lines, Pelvane::DataFolder + u"TAVU.log", tavu::TextEncoding::Ansi);
    for (auto& l : lines)
      l.erase(0, l.find(u' ', l.find(u' ') + 1) + 1); // the date and the time
    return lines;
  }

  ScratchFolder dir;
  wintest::DataFolderScope data{dir.Folder(u"data")};
};

TEST_F(Undo, EachKindOfOkIsTakenBackInAWindowOpenBeforeItAndItsItemComesFirst) {
  ScratchFolder other(u"tavu-undo-", u"S:\\"); // another drive
  const struct {
    const char* what;
    int mode = 0;
    bool folder = false, upperCase = false, otherDrive = false, taken = false;
    bool fromWordList = false;
  } kinds[] = {
      {.what = "rename"},
      {.what = "change of letter case", .upperCase = true},
      {.what = "rename and move", .mode = 1, .fromWordList = true},
      {.what = "rename and copy", .mode = 2},
      {.what = "folder renamed and moved", .mode = 1, .folder = true},
      {.what = "rename and move to another drive", .mode = 1, .otherDrive = true},
      // Only the rename is taken back of these.
      {.what = "copy onto a name taken (中止)", .mode = 2, .taken = true},
      {.what = "folder moved to another drive (失敗)",
       .mode = 1,
       .folder = true,
       .otherDrive = true},
  };
  int row = 0;
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.what);
    const auto n = Decimal(++row);
    const auto src = dir.Folder(u"src" + n);
    const auto dest = k.otherDrive ? other.Folder(u"dest" + n) : dir.Folder(u"dest" + n);
    const auto item = k.folder ? dir.Folder(u"src" + n + u"\\a.d") : src + u"\\a.txt";
    WriteBytes(k.folder ? item + u"\\in.txt" : item, "content");
    // A name the desktop's trash holds nothing of yet.
    const auto name = k.upperCase ? u"A" : u"b" + Decimal(GetCurrentProcessId()) + u"-" + n;
    if (k.taken)
      WriteBytes(dest + u"\\" + name + u".txt", "theirs");
    const auto srcBefore = Tree(src), destBefore = Tree(dest);

    MainWindow later; // as a second run, started before the OK
    later->PPLog.Checked = true;
    const Done done = Commit(item, name, k.mode, dest);
    ASSERT_EQ(Pelvane::ReadJournal().size(), 1u);
    wintest::ResetApplication();
    tk::Application().MainForm = &later.Form();
    TNoteForm* note = nullptr;
    if (k.fromWordList) {
      note = &later->StartNoteWindow();
      later->PPNoteClick();
      note->ListBox.SetFocus();
    } else {
      later->EditName.SetFocus();
    }
    EXPECT_EQ(PressUndo(), kNoBox);

    EXPECT_EQ(Tree(src), srcBefore);
    EXPECT_EQ(Tree(dest), destBefore);
    EXPECT_TRUE(Pelvane::ReadJournal().empty());
    EXPECT_EQ(wintest::Items(*later), std::vector<std::u16string>{item});
    EXPECT_EQ(later->EditName.Text(), k.folder ? u"a.d" : u"a");
    EXPECT_EQ(GetFocus(), later->EditName.Handle());
    std::vector<std::u16string> log = LogTexts(), want{done.renamed + u"->" + item + u" 元に戻す"};
    if (k.mode && !k.taken && !(k.folder && k.otherDrive))
      want.push_back(done.dest + u" -> " + done.renamed + (k.mode == 1 ? u" 移動" : u" コピー") +
                     u" 元に戻す");
    log.resize(want.size());
    EXPECT_EQ(log, want);
    const auto trash = TrashFiles(), copy = Pelvane::FileNamePart(done.dest);
    if (want.size() == 2 && k.mode == 2 && !trash.empty()) {
      EXPECT_EQ(ReadBytes(trash + u"\\" + copy), "content") << "the copy is not in the trash";
      DeleteFileW(AsWide(trash + u"\\" + copy));
      DeleteFileW(AsWide(trash + u"\\..\\info\\" + copy + u".trashinfo"));
    }
  }
}

TEST_F(Undo, ARefusalChangesNothingAndSaysWhy) {
  using Meddle = std::function<void(const Done&, ScopedFileHandle& held)>;
  const struct {
    const char* what;
    int mode;
    Meddle meddle; // a file it opens stays open during the undo
    std::u16string Done::*path;
    const char16_t *before, *after; // the reason's words around the quoted path
  } rows[] = {
      {"the item is gone", 0, [](auto& d, auto&) { DeleteFileW(AsWide(d.renamed)); },
       &Done::renamed, u"", u"が見つかりません。"},
      {"another item in its place", 0,
       [](auto& d, auto&) {
         MoveFileW(AsWide(d.renamed), AsWide(d.renamed + u".kept"));
         WriteBytes(d.renamed, "new");
       },
       &Done::renamed, u"", u"は別のファイルまたはフォルダに置き換えられています。"},
      {"the old name is taken", 0, [](auto& d, auto&) { WriteBytes(d.item, "x"); }, &Done::item,
       u"", u"はほかのファイルまたはフォルダが使っています。"},
      {"the copy was changed", 2, [](auto& d, auto&) { WriteBytes(d.dest, "edited"); }, &Done::dest,
       u"コピー", u"はその後変更されています。"},
      {"the folder it came from is gone", 1,
       [](auto& d, auto&) { RemoveDirectoryW(AsWide(d.src)); }, &Done::src, u"移動元のフォルダ",
       u"が見つかりません。"},
      {"the item is held open", 0,
       [](auto& d, ScopedFileHandle& held) {
         held = ScopedFileHandle(CreateFileW(AsWide(d.renamed), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
       },
       &Done::renamed, u"",
       u"を戻せませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。"},
  };
  int row = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const auto n = Decimal(++row);
    const auto item = dir.Folder(u"src" + n) + u"\\a.txt";
    WriteBytes(item, "content");
    const Done done = Commit(item, u"b", r.mode, dir.Folder(u"dest" + n));
    ScopedFileHandle held;
    r.meddle(done, held);
    const auto before = Tree(dir.Root());
    MainWindow w;
    w->EditName.SetFocus();
    const std::u16string why = r.before + (u"「" + done.*r.path + u"」") + r.after;
    EXPECT_EQ(PressUndo(), (Box{u"TAVU", u"元に戻せません。\r\n" + why}));
    EXPECT_EQ(Tree(dir.Root()), before);
    EXPECT_TRUE(wintest::Items(*w).empty());
  }
}

TEST_F(Undo, WhatIsTakenBackStaysSoAndTheEntryKeepsTheRest) {
  const auto item = dir.Folder(u"src") + u"\\a.txt";
  WriteBytes(item, "content");
  const Done done = Commit(item, u"b", 1, dir.Folder(u"dest"));
  WriteBytes(item, "another");
  const auto rename = Pelvane::ReadJournal().at(0).steps.at(0);
  MainWindow w;
  w->EditName.SetFocus();
  EXPECT_EQ(PressUndo().text, u"元に戻せません。\r\n「" + item +
                                  u"」はほかのファイルまたはフォルダが使っています。\r\n移動は元"
                                  u"に戻しました。");
  EXPECT_EQ(ReadBytes(done.renamed), "content");
  EXPECT_FALSE(Exists(done.dest));
  EXPECT_EQ(Pelvane::ReadJournal(), tavu::UndoJournal{tavu::UndoEntry{{rename}}});
  // Once the name is free again, the rest is taken back.
  DeleteFileW(AsWide(item));
  EXPECT_EQ(PressUndo(), kNoBox);
  EXPECT_EQ(ReadBytes(item), "content");
  EXPECT_TRUE(Pelvane::ReadJournal().empty());
}

TEST_F(Undo, ADamagedOrUnreadableJournalNeverStopsAnOk) {
  const auto journal = Pelvane::JournalPath();
  const tavu::UndoEntry older{{{tavu::StepKind::Rename, u"C:\\x\\1", u"C:\\x\\2", {1, 2}}}};
  WriteBytes(journal, "damaged\r\n" + tavu::JournalBytes({older}) + "R\tC:\\x\r\n");
  const auto a = dir.File(u"a.txt"), c = dir.File(u"c.txt");
  Commit(a, u"b");
  const auto written = Pelvane::ReadJournal();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(ReadBytes(journal), tavu::JournalBytes(written)) << "the damaged lines stay";
  EXPECT_EQ(written[1], older);

  // Another program writes the journal: it cannot be read, and so is not written.
  ScopedFileHandle writer(CreateFileW(AsWide(journal), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  wintest::ErrorCapture errors;
  Commit(c, u"d");
  EXPECT_TRUE(Exists(dir.Path(u"d.txt")));
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_TRUE(errors.texts[0].starts_with(u"ファイル " + journal + u" は開けません。"));
  EXPECT_EQ(ReadBytes(journal), tavu::JournalBytes(written));
  MainWindow w;
  w->UpdateEditMenu();
  EXPECT_FALSE(w->PPUndoLast.Enabled);
  writer.Reset();
  w->UpdateEditMenu();
  EXPECT_TRUE(w->PPUndoLast.Enabled);
}

} // namespace
