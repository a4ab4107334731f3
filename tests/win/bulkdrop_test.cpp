// Drops at the extremes of their size, as real WM_DROPFILES: none at all, and
// 50,000 names at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fixture.h"
#include "scratch.h"

namespace {

using wintest::Items;
using wintest::Upper;

using wintest::MainWindow;
using wintest::ScratchFolder;
using wintest::Type;

// "f00042.txt" ("F00042.txt" with `upper`): names whose locale order is their numeric order.
std::u16string Numbered(std::size_t i, bool upper = false) {
  const std::u16string digits = testsupport::Decimal(i);
  std::u16string name(1, upper ? u'F' : u'f');
  name.append(5 - digits.size(), u'0').append(digits).append(u".txt");
  return name;
}

TEST(MainFormBulkDrop, AnEmptyDropQueuesNothing) {
  ScratchFolder dir;
  {
    MainWindow w;
    EXPECT_TRUE(wintest::SendDrop(w.Handle(), {}));
    EXPECT_EQ(wintest::QueueList(*w).Count(), 0);
    EXPECT_EQ(w->EditPath.Text(), u"");
    EXPECT_EQ(w->EditName.Text(), u"");
    EXPECT_FALSE(w->BtnOK.Enabled());
  }
  const auto head = dir.File(u"head.txt");
  MainWindow w({head});
  EXPECT_TRUE(wintest::SendDrop(w.Handle(), {}));
  EXPECT_EQ(Items(*w), std::vector<std::u16string>{head});
  EXPECT_EQ(w->EditPath.Text(), head);
  EXPECT_EQ(w->EditName.Text(), u"head");
  EXPECT_TRUE(w->BtnOK.Enabled());
}

TEST(MainFormBulkDrop, FiftyThousandNamesAreQueuedOnceEachInOrder) {
  constexpr std::size_t kNames = 50000;
  ScratchFolder dir;
  const auto first = dir.File(Numbered(0));
  MainWindow w;
  // In reverse order, and every hundredth name a second time in other case.
  std::vector<std::u16string> drop;
  for (std::size_t i = kNames; i-- > 0;) {
    drop.push_back(dir.Path(Numbered(i)));
    if (i % 100 == 0)
      drop.push_back(dir.Path(Numbered(i, true)));
  }
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(wintest::SendDrop(w.Handle(), drop));
  std::printf("[ timing ] a drop of %zu names took %llu ms\n", kNames + kNames / 100,
              GetTickCount64() - start);
  const auto items = Items(*w);
  ASSERT_EQ(items.size(), kNames);
  for (std::size_t i = 0; i < kNames; ++i) {
    // Case aside: which of two spellings was kept is the sort's business.
    const auto expected = dir.Path(Numbered(i));
    ASSERT_TRUE(items[i] == expected || items[i] == dir.Path(Numbered(i, true))) << "item " << i;
  }
  EXPECT_EQ(wintest::QueueList(*w).ItemIndex(), 0);
  EXPECT_EQ(Upper(w->EditPath.Text()), Upper(first));
  EXPECT_EQ(w->EditExt.Text(), u"txt");

  // The window goes on working: a skip moves to the next of them.
  Type(w->EditName, u"x");
  w->BtnCancel.Click();
  wintest::Pump(20);
  EXPECT_EQ(wintest::QueueList(*w).Count(), static_cast<int>(kNames - 1));
  EXPECT_EQ(Upper(w->EditPath.Text()), Upper(dir.Path(Numbered(1))));
}

} // namespace
