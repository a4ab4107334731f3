// The work queue of the main window: adding without duplicates as the file
// system compares names, drops, skipping, closing at the end, and hand-offs
// from a second instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/handoff.h"
#include "fixture.h"
#include "scratch.h"
#include "common/handle.h"
#include "common/wide.h"

namespace {

using wintest::Items;
using wintest::Upper;

using wintest::MainWindow;

using wintest::Decimal;
using wintest::ScratchFolder;
using wintest::Type;

bool IsShown(TMainForm& f) {
  return IsWindowVisible(f.Handle()) != FALSE;
}

TEST(MainFormQueue, SamePathInOtherCaseIsQueuedOnce) {
  ScratchFolder dir;
  const auto file = dir.File(u"Report.txt");
  MainWindow w({file, Upper(file)});
  EXPECT_EQ(Items(*w), std::vector<std::u16string>{file});
  w->AddPath(Upper(file));
  w->AddPath(file);
  EXPECT_EQ(Items(*w), std::vector<std::u16string>{file});
  EXPECT_EQ(w->EditPath.Text(), file);
}

TEST(MainFormQueue, NamesTheFileSystemKeepsApartAreBothQueued) {
  ScratchFolder dir;
  MainWindow w;
  // Linguistically equal, ordinally different: the file system holds both.
  const std::vector<std::u16string> paths = {
      dir.Path(u"stra\u00DFe"), dir.Path(u"STRASSE"),  dir.Path(u"caf\u00E9"),
      dir.Path(u"cafe\u0301"),  dir.Path(u"\uFB01le"), dir.Path(u"file"),
  };
  for (const auto& p : paths)
    w->AddPath(p);
  EXPECT_EQ(Items(*w), paths);
  // Their upper-case forms are duplicates all the same.
  w->AddPath(Upper(dir.Path(u"stra\u00DFe")));
  w->AddPath(Upper(dir.Path(u"caf")) + u"\u00C9");
  EXPECT_EQ(wintest::QueueList(*w).Count(), static_cast<int>(paths.size()));
}

TEST(MainFormQueue, FirstAddSelectsAndShowsIt) {
  ScratchFolder dir;
  MainWindow w;
  ASSERT_EQ(wintest::QueueList(*w).Count(), 0);
  const auto file = dir.File(u"first.txt");
  w->AddPath(file);
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(w->EditPath.Text(), file);
  w->AddPath(dir.Path(u"second.txt"));
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(w->EditPath.Text(), file);
}

TEST(MainFormQueue, DropAddsInLocaleOrderAndSkipsWhatIsQueued) {
  ScratchFolder dir;
  const auto head = dir.File(u"x-head.txt");
  MainWindow w({head});
  Type(w->EditName, u" typed");
  std::vector<std::u16string> drop = {
      dir.Path(u"C.txt"), dir.Path(u"a.txt"), dir.Path(u"B.txt"),
      Upper(head),        dir.Path(u"a.txt"), dir.Path(u"c.TXT"),
  };
  w->DropDstFileDrop(drop);
  EXPECT_TRUE(drop.empty());
  const auto items = Items(*w);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0], head);
  EXPECT_EQ(items[1], dir.Path(u"a.txt"));
  EXPECT_EQ(items[2], dir.Path(u"B.txt"));
  EXPECT_EQ(Upper(items[3]), Upper(dir.Path(u"C.txt")));
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(w->EditPath.Text(), head);
  EXPECT_EQ(w->EditName.Text(), u"x-head");
  EXPECT_EQ(w->EditExt.Text(), u"txt");
  EXPECT_TRUE(w->BtnOK.Enabled());
}

TEST(MainFormQueue, DropIntoAnEmptyQueueLoadsTheFirstInOrder) {
  ScratchFolder dir;
  MainWindow w;
  std::vector<std::u16string> drop = {dir.File(u"Zeta.log"), dir.File(u"alpha.md")};
  w->DropDstFileDrop(drop);
  EXPECT_TRUE(drop.empty());
  EXPECT_EQ(Items(*w), (std::vector<std::u16string>{dir.Path(u"alpha.md"), dir.Path(u"Zeta.log")}));
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(w->EditPath.Text(), dir.Path(u"alpha.md"));
  EXPECT_EQ(w->EditName.Text(), u"alpha");
  EXPECT_EQ(w->EditExt.Text(), u"md");
  EXPECT_TRUE(w->EditExt.Enabled());
}

TEST(MainFormQueue, SkippingMovesOnAndTheLastSkipCloses) {
  ScratchFolder dir;
  const auto first = dir.File(u"one.txt"), second = dir.File(u"two.md");
  MainWindow w({first, second});
  w->CHKOKClose.SetChecked(false);
  Type(w->EditName, u"typed");
  w->BtnCancel.Click();
  EXPECT_EQ(Items(*w), std::vector<std::u16string>{second});
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(w->EditPath.Text(), second);
  EXPECT_EQ(w->EditName.Text(), u"two");
  EXPECT_EQ(w->EditExt.Text(), u"md");
  EXPECT_TRUE(IsShown(*w));
  EXPECT_FALSE(tk::ApplicationTestAccess::Terminated());
  // The skipped path is no longer queued, so it can come back.
  w->AddPath(first);
  EXPECT_EQ(wintest::QueueList(*w).Count(), 2);
  w->BtnCancel.Click();
  w->BtnCancel.Click();
  EXPECT_EQ(wintest::QueueList(*w).Count(), 0);
  EXPECT_FALSE(IsShown(*w));
  EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
}

TEST(MainFormQueue, EscClosesAWindowOpenedWithoutPaths) {
  MainWindow w;
  ASSERT_TRUE(IsShown(*w));
  ASSERT_TRUE(PostMessageW(w->EditName.Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001));
  EXPECT_TRUE(wintest::PumpUntil([] { return tk::ApplicationTestAccess::Terminated(); }, 5000))
      << "Esc did not end the loop";
  EXPECT_FALSE(IsShown(*w));
}

TEST(MainFormQueue, EmptyHeadClosesOnlyWhenAskedTo) {
  ScratchFolder dir;
  {
    MainWindow w({dir.File(u"plain.txt")});
    w->CHKOKClose.SetChecked(false);
    w->RemoveCurrentItem();
    w->ShowQueueHead();
    EXPECT_TRUE(IsShown(*w));
    EXPECT_FALSE(tk::ApplicationTestAccess::Terminated());
    EXPECT_EQ(w->EditPath.Text(), u"");
    EXPECT_EQ(w->EditName.Text(), u"");
    EXPECT_EQ(w->EditExt.Text(), u"");
    EXPECT_FALSE(w->EditExt.Enabled());
    EXPECT_EQ(w->EditExt.Color(), COLOR_BTNFACE);
    EXPECT_FALSE(w->BtnOK.Enabled());
  }
  {
    MainWindow w({dir.Path(u"plain.txt")});
    ASSERT_TRUE(w->CHKOKClose.Checked());
    w->RemoveCurrentItem();
    w->ShowQueueHead();
    EXPECT_FALSE(IsShown(*w));
    EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
  }
}

COPYDATASTRUCT Record(const std::u16string& payload) {
  COPYDATASTRUCT cds{};
  cds.dwData = 1;
  cds.cbData = static_cast<DWORD>(payload.size() * sizeof(char16_t));
  cds.lpData = const_cast<char16_t*>(payload.data());
  return cds;
}

TEST(MainFormQueue, HandOffIntoABusyQueueLeavesTheTypingAlone) {
  ScratchFolder dir;
  const auto first = dir.File(u"one.txt"), second = dir.File(u"two.md");
  MainWindow w({first});
  Type(w->EditName, u"-typed");
  Type(w->EditExt, u"x");
  const auto payload = tavu::HandOffPayload(second);
  auto cds = Record(payload);
  SendMessageW(w.Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(tk::Application().Handle()),
               reinterpret_cast<LPARAM>(&cds));
  EXPECT_EQ(Items(*w), (std::vector<std::u16string>{first, second}));
  EXPECT_EQ(w->EditPath.Text(), first);
  EXPECT_EQ(w->EditName.Text(), u"one-typed");
  EXPECT_EQ(w->EditExt.Text(), u"txtx");
  // A path already queued changes nothing.
  const auto again = tavu::HandOffPayload(Upper(first));
  cds = Record(again);
  w->WMCopyData(&cds);
  EXPECT_EQ(wintest::QueueList(*w).Count(), 2);
  EXPECT_EQ(w->EditName.Text(), u"one-typed");
}

TEST(MainFormQueue, HandOffIntoAnEmptyQueueLoadsIt) {
  ScratchFolder dir;
  const auto file = dir.File(u"report.final.docx");
  MainWindow w;
  const auto payload = tavu::HandOffPayload(file);
  auto cds = Record(payload);
  SendMessageW(w.Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(tk::Application().Handle()),
               reinterpret_cast<LPARAM>(&cds));
  EXPECT_EQ(Items(*w), std::vector<std::u16string>{file});
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(w->EditPath.Text(), file);
  EXPECT_EQ(w->EditName.Text(), u"report.final");
  EXPECT_EQ(w->EditExt.Text(), u"docx");
  EXPECT_TRUE(w->EditExt.Enabled());
  EXPECT_TRUE(w->BtnOK.Enabled());
}

// A buffer whose end touches an inaccessible page: reading one unit too
// many faults instead of passing unnoticed.
class GuardedBuffer {
public:
  GuardedBuffer() {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    page_ = si.dwPageSize;
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    EXPECT_TRUE(base_ && VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old));
  }
  ~GuardedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  // Copies the bytes so that they end exactly at the inaccessible page.
  void* Place(const void* bytes, std::size_t size) {
    char* at = base_ + page_ - size;
    std::memcpy(at, bytes, size);
    return at;
  }

private:
  DWORD page_ = 0;
  char* base_ = nullptr;
};

TEST(MainFormQueue, HandOffRecordsAreReadWithinTheirSize) {
  ScratchFolder dir;
  const auto file = dir.File(u"sent.txt");
  MainWindow w;
  const char16_t text[] = u"abc";
  COPYDATASTRUCT cds{};
  w->WMCopyData(nullptr);
  cds = {1, 10, nullptr};
  w->WMCopyData(&cds);
  cds = {1, 0, const_cast<char16_t*>(text)};
  w->WMCopyData(&cds);
  cds = {1, 1, const_cast<char16_t*>(text)};
  w->WMCopyData(&cds);
  const char16_t empty[] = {0, 0};
  cds = {1, sizeof empty, const_cast<char16_t*>(empty)};
  w->WMCopyData(&cds);
  EXPECT_EQ(wintest::QueueList(*w).Count(), 0);
  EXPECT_EQ(w->EditPath.Text(), u"");

  // Without terminator, and with its last byte cut in half: only the whole
  // units inside the record count.
  GuardedBuffer guard;
  const std::size_t bytes = file.size() * sizeof(char16_t);
  cds = {1, static_cast<DWORD>(bytes), guard.Place(file.data(), bytes)};
  w->WMCopyData(&cds);
  ASSERT_EQ(Items(*w), std::vector<std::u16string>{file});
  EXPECT_EQ(w->EditName.Text(), u"sent");
  const std::u16string odd = dir.Path(u"odd.txt") + u"Z";
  cds = {1, static_cast<DWORD>(odd.size() * sizeof(char16_t) - 1),
         guard.Place(odd.data(), odd.size() * sizeof(char16_t) - 1)};
  w->WMCopyData(&cds);
  ASSERT_EQ(wintest::QueueList(*w).Count(), 2);
  EXPECT_EQ(wintest::QueueList(*w).Item(1), dir.Path(u"odd.txt"));
}

// Makes the list box refuse new lines, as a full list does, until told otherwise.
class RefusingList {
public:
  explicit RefusingList(tk::TListBox& list)
      : hook_(list, [this](wintest::Hook& h, tk::TMessage& m) {
          if (m.Msg == LB_ADDSTRING && refuse)
            m.Result = LB_ERRSPACE;
          else
            h.Next(m);
        }) {}
  RefusingList(const RefusingList&) = delete;
  RefusingList& operator=(const RefusingList&) = delete;

  bool refuse = true;

private:
  wintest::Hook hook_;
};

TEST(MainFormQueue, AListThatCannotTakeALineRaises) {
  ScratchFolder dir;
  const auto first = dir.File(u"one.txt"), second = dir.File(u"two.txt");
  MainWindow w({first});
  RefusingList full(wintest::QueueList(*w));
  try {
    w->AddPath(second);
    ADD_FAILURE() << "no exception";
  } catch (const tavu::Exception& e) {
    EXPECT_EQ(e.Message(), u"行を挿入できません");
  }
  std::vector<std::u16string> drop = {second};
  EXPECT_THROW(w->DropDstFileDrop(drop), tavu::Exception);
  EXPECT_TRUE(drop.empty());

  // From a window message the error reaches the error box, and the loop lives on.
  std::vector<std::u16string> shown;
  tk::UseErrorBox([&](const std::u16string& text) { shown.push_back(text); });
  const auto payload = tavu::HandOffPayload(second);
  auto cds = Record(payload);
  SendMessageW(w.Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
  tk::UseErrorBox(nullptr);
  EXPECT_EQ(shown, std::vector<std::u16string>{tavu::ErrorBoxText(u"行を挿入できません")});
  EXPECT_EQ(Items(*w), std::vector<std::u16string>{first});

  // A refused path was never counted as queued.
  full.refuse = false;
  w->AddPath(second);
  EXPECT_EQ(Items(*w), (std::vector<std::u16string>{first, second}));
}

} // namespace
