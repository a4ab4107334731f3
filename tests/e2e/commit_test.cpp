// OK through the real program, driven from outside: renames on disk, the
// folder browser and the failure box answered from this process, the log
// file, and the refresh keys reaching the file manager it was started from.
#include "common/pelvane.h"
#include "e2e_support.h"
#include "filemanager.h"

namespace e2e {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

std::wstring NameOnDisk(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileW(path.c_str(), &fd));
  return h ? std::wstring(fd.cFileName) : std::wstring();
}

class Commit : public TavuTest {
protected:
  // Logging on, as the settings file says at start-up.
  void EnableLog() {
    CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
    CreateDirectoryW(DataFolder().c_str(), nullptr);
    ASSERT_NO_FATAL_FAILURE(WriteBytes(DataFolder() + L"\\TAVU.ini", "[Window]\r\nLog=1\r\n"));
  }

  // The log's lines without their time stamps, newest first.
  std::vector<std::wstring> LogTexts() {
    const std::string bytes = ReadBytes(DataFolder() + L"\\TAVU.log");
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                            static_cast<int>(text.size()))));
    std::vector<std::wstring> out;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find(L"\r\n", start);
      std::wstring line = text.substr(start, end - start);
      std::size_t stamp = line.find(L' ', line.find(L' ') + 1);
      out.push_back(line.substr(stamp + 1));
      start = end == std::wstring::npos ? text.size() : end + 2;
    }
    return out;
  }

  // Starts TAVU with the paths and finds its controls.
  HWND Start(const std::vector<std::wstring>& paths, MainControls* c, Process** p = nullptr) {
    Process& tavu = Launch(paths.empty() ? L"" : Quoted(paths));
    if (p)
      *p = &tavu;
    HWND main = WaitForMainWindow(tavu.Id());
    EXPECT_NE(main, nullptr);
    if (main)
      FindControls(main, c);
    return main;
  }

  static void Type(HWND edit, const std::wstring& text) {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        kMessageTimeoutMs, &r);
  }
  static void SetMode(HWND combo, int index) {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_NORMAL,
                        kMessageTimeoutMs, &r);
  }
  static constexpr UINT kMessageTimeoutMs = 5000;
};

TEST_F(Commit, TheRoadOfOneItemRenamesCopiesLogsAndCloses) {
  ASSERT_NO_FATAL_FAILURE(EnableLog());
  const std::wstring a = Temp() + L"\\a.txt", dest = Temp() + L"\\dest";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({a}, &c, &tavu), nullptr);
  SetMode(c.mode, 2);
  Type(c.name, L"b");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  ASSERT_TRUE(PickFolder(tavu->Id(), dest)) << "no folder browser";
  DWORD code = 99;
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs, &code)) << "the emptied queue did not close TAVU";
  EXPECT_TRUE(IsFile(Temp() + L"\\b.txt"));
  EXPECT_TRUE(IsFile(dest + L"\\b.txt"));
  EXPECT_EQ(LogTexts(),
            (std::vector<std::wstring>{Temp() + L"\\b.txt -> " + dest + L"\\b.txt コピー",
                                       a + L"->" + Temp() + L"\\b.txt"}));
}

TEST_F(Commit, AnUnchangedNameInMoveModeOnlyMoves) {
  ASSERT_NO_FATAL_FAILURE(EnableLog());
  const std::wstring a = Temp() + L"\\a.txt", dest = Temp() + L"\\dest";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({a}, &c, &tavu), nullptr);
  SetMode(c.mode, 1);
  PostClick(c.ok);
  ASSERT_TRUE(PickFolder(tavu->Id(), dest)) << "no folder browser";
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs));
  EXPECT_TRUE(IsFile(dest + L"\\a.txt"));
  EXPECT_FALSE(IsFile(a));
  EXPECT_EQ(LogTexts(),
            (std::vector<std::wstring>{a + L" -> " + dest + L"\\a.txt 移動", a + L"->" + a}));
}

// The path in the form that reaches a file at any length.
std::wstring Far(const std::wstring& path) {
  return L"\\\\?\\" + path;
}

TEST_F(Commit, AnItemDeeperThanTheShellReachesIsRenamedOrRefusedWithABox) {
  ASSERT_NO_FATAL_FAILURE(EnableLog());
  // Four folders of 180 characters, then f.txt: over 745 characters.
  std::wstring folder = Temp();
  for (const wchar_t c : {L'a', L'b', L'c', L'd'}) {
    folder += L"\\" + std::wstring(180, c);
    ASSERT_TRUE(CreateDirectoryW(Far(folder).c_str(), nullptr));
  }
  const std::wstring item = folder + L"\\f.txt", renamed = folder + L"\\g.txt";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(Far(item), "kept"));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({item}, &c, &tavu), nullptr);
  // 600 characters, as the word list inserts them past the typing limit: no
  // file system holds such a name.
  Type(c.name, std::wstring(600, L'n'));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  HWND box = WaitForDialog(tavu->Id());
  ASSERT_NE(box, nullptr) << "no box for a name too long";
  EXPECT_EQ(TextOf(box), L"TAVU");
  EXPECT_EQ(MessageBoxText(box).rfind(L"変更できませんでした。\r\n", 0), 0u);
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.name) == L"f"; })) << "the item was not kept";

  Type(c.name, L"g");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  DWORD code = 99;
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs, &code)) << "the emptied queue did not close TAVU";
  EXPECT_EQ(code, 0u) << "TAVU did not end normally";
  EXPECT_EQ(ReadBytes(Far(renamed)), "kept");
  EXPECT_EQ(LogTexts(), std::vector<std::wstring>{item + L"->" + renamed});
}

TEST_F(Commit, ANameTooLongForALinuxFileSystemIsRefusedWithItsReason) {
  if (!Pelvane::RunsUnderWine())
    GTEST_SKIP() << "only a Linux file system under Wine holds names of 255 bytes";
  ASSERT_NO_FATAL_FAILURE(EnableLog());
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(a, "kept"));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({a}, &c, &tavu), nullptr);
  // 100 times あ and .txt take 304 bytes of UTF-8, where Linux holds 255.
  Type(c.name, std::wstring(100, L'あ'));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  HWND box = WaitForDialog(tavu->Id());
  ASSERT_NE(box, nullptr) << "the name was cut without a word";
  EXPECT_EQ(MessageBoxText(box),
            L"変更できませんでした。\r\n名前がこのファイルシステムには長すぎます。");
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.name) == L"a"; })) << "the item was not kept";
  EXPECT_EQ(ReadBytes(a), "kept");

  // 83 times あ, then ab and .txt: exactly 255 bytes.
  const std::wstring fits = Temp() + L"\\" + std::wstring(83, L'あ') + L"ab.txt";
  Type(c.name, std::wstring(83, L'あ') + L"ab");
  PostClick(c.ok);
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs)) << "the emptied queue did not close TAVU";
  EXPECT_EQ(ReadBytes(fits), "kept");
  EXPECT_EQ(LogTexts(), std::vector<std::wstring>{a + L"->" + fits});
}

TEST_F(Commit, ALogAnotherProgramKeepsReadingShowsTheErrorAndTheCommitFinishes) {
  ASSERT_NO_FATAL_FAILURE(EnableLog());
  const std::wstring log = DataFolder() + L"\\TAVU.log";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(log, "2024/01/01 12:00:00 older\r\n"));
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({a}, &c, &tavu), nullptr);
  {
    // A viewer that reads the log, and lets others read it, for longer than TAVU waits.
    ScopedFileHandle reader(CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    Type(c.name, L"b");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
    PostClick(c.ok);
    HWND box = WaitForDialog(tavu->Id());
    ASSERT_NE(box, nullptr) << "the line was dropped without a word";
    EXPECT_EQ(MessageBoxText(box).rfind(L"ファイル \"" + log + L"\" を作成できません。", 0), 0u)
        << testing::PrintToString(MessageBoxText(box));
    PressDialogButton(box, IDOK);
  }
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs)) << "the commit did not finish";
  EXPECT_TRUE(IsFile(Temp() + L"\\b.txt"));
  EXPECT_EQ(LogTexts(), std::vector<std::wstring>{L"older"});
}

TEST_F(Commit, AFileHeldOpenShowsTheFailureBoxAndStaysAtTheHead) {
  ASSERT_NO_FATAL_FAILURE(EnableLog());
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({a}, &c, &tavu), nullptr);
  {
    ScopedFileHandle held(
        CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    Type(c.name, L"b");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
    PostClick(c.ok);
    HWND box = WaitForDialog(tavu->Id());
    ASSERT_NE(box, nullptr) << "no failure box";
    EXPECT_EQ(TextOf(box), L"TAVU");
    EXPECT_EQ(
        MessageBoxText(box),
        L"変更できませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。");
    PressDialogButton(box, IDOK);
  }
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.name) == L"a"; })) << "the fields were not reloaded";
  EXPECT_EQ(TextOf(c.path), a);
  EXPECT_TRUE(IsFile(a));
  EXPECT_FALSE(IsFile(DataFolder() + L"\\TAVU.log"));
}

TEST_F(Commit, ATakenNameIsRefusedAndACaseOnlyRenameTakes) {
  const std::wstring a = Temp() + L"\\a.txt", b = Temp() + L"\\b.txt", c2 = Temp() + L"\\c.txt";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(a, "first"));
  ASSERT_NO_FATAL_FAILURE(WriteBytes(b, "second"));
  ASSERT_NO_FATAL_FAILURE(MakeFile(c2));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({a, c2}, &c, &tavu), nullptr);
  Type(c.name, L"b");
  PostClick(c.ok);
  HWND box = WaitForDialog(tavu->Id());
  ASSERT_NE(box, nullptr) << "renaming onto another item was not refused";
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.name) == L"a"; }));
  EXPECT_EQ(ReadBytes(a), "first");
  EXPECT_EQ(ReadBytes(b), "second");

  Type(c.name, L"A");
  PostClick(c.ok);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.path) == c2; })) << "the case-only rename failed";
  EXPECT_EQ(NameOnDisk(a), L"A.txt");
  EXPECT_EQ(ReadBytes(a), "first");
}

TEST_F(Commit, TheFileManagerItWasStartedFromIsAskedToRefresh) {
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  testsupport::FileManagerWindow manager;
  MainControls c;
  ASSERT_NE(Start({a}, &c), nullptr);
  Type(c.name, L"b");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  const std::vector<std::pair<UINT, WPARAM>> f5{{WM_KEYDOWN, VK_F5}, {WM_KEYUP, VK_F5}};
  EXPECT_TRUE(WaitUntil([&] { return manager.Keys() == f5; })) << manager.Keys().size() << " keys";
}

TEST_F(Commit, AProgramStartedWithoutAPathNeverAsksForARefresh) {
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  testsupport::FileManagerWindow manager;
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({}, &c, &tavu), nullptr);
  // The path comes from a later launch instead.
  Process& second = Launch(Quoted({a}));
  ASSERT_TRUE(second.WaitForExit(kDeadlineMs));
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.path) == a; }));
  Type(c.name, L"b");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  // The emptied queue closes the window once the commit is over.
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs));
  EXPECT_TRUE(IsFile(Temp() + L"\\b.txt"));
  EXPECT_TRUE(manager.Keys().empty());
}

// Shift+Ctrl+Z from the keyboard, into whatever window has the focus.
void PressShiftCtrlZ() {
  INPUT keys[6] = {};
  const WORD order[6] = {VK_SHIFT, VK_CONTROL, 'Z', 'Z', VK_CONTROL, VK_SHIFT};
  for (int i = 0; i < 6; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = order[i];
    keys[i].ki.dwFlags = i < 3 ? 0 : KEYEVENTF_KEYUP;
  }
  SendInput(6, keys, sizeof(INPUT));
}

TEST_F(Commit, ATypoIsTakenBackInTheNextRunAndTheRightNameTyped) {
  const std::wstring report = Temp() + L"\\report.txt", typo = Temp() + L"\\reprot.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(report));
  MainControls c;
  Process* tavu = nullptr;
  ASSERT_NE(Start({report}, &c, &tavu), nullptr);
  Type(c.name, L"reprot");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs)) << "OK did not close TAVU";
  ASSERT_TRUE(IsFile(typo));

  HWND main = Start({}, &c, &tavu);
  ASSERT_NE(main, nullptr);
  SetForegroundWindow(main);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }));
  PressShiftCtrlZ();
  ASSERT_TRUE(WaitUntil([&] { return IsFile(report); })) << "Shift+Ctrl+Z took nothing back";
  EXPECT_FALSE(IsFile(typo));
  EXPECT_EQ(TextOf(c.path), report);
  EXPECT_EQ(TextOf(c.name), L"report");
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  EXPECT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui));
  EXPECT_EQ(gui.hwndFocus, c.name) << "the name is not ready to be typed";
  Type(c.name, L"report-final");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  PostClick(c.ok);
  ASSERT_TRUE(tavu->WaitForExit(kDeadlineMs));
  EXPECT_TRUE(IsFile(Temp() + L"\\report-final.txt"));
  EXPECT_FALSE(IsFile(report));
}

} // namespace
} // namespace e2e
