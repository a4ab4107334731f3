#include "core/queue.h"

#include "core/error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tavu {
namespace {

class VectorList : public QueueList {
public:
  std::vector<std::u16string> items;
  bool refuseNext = false;
  mutable int countCalls = 0;

  int Count() const override {
    ++countCalls;
    return static_cast<int>(items.size());
  }
  std::u16string Item(int index) const override {
    return items.at(static_cast<std::size_t>(index));
  }
  void Append(const std::u16string& path) override {
    if (refuseNext) {
      refuseNext = false;
      throw Exception(u"The list is full");
    }
    items.push_back(path);
  }
  void Insert(int index, const std::u16string& path) override {
    items.insert(items.begin() + index, path);
  }
  void Delete(int index) override { items.erase(items.begin() + index); }
};

std::u16string AsciiUpper(const std::u16string& s) {
  std::u16string out = s;
  for (auto& c : out)
    if (c >= u'a' && c <= u'z')
      c = static_cast<char16_t>(c - 32);
  return out;
}

TEST(WorkQueue, RefusesPathsEqualButForCase) {
  VectorList list;
  WorkQueue queue(list, AsciiUpper);
  EXPECT_TRUE(queue.Add(u"C:\\Dir\\a.txt"));
  EXPECT_FALSE(queue.Add(u"c:\\dir\\A.TXT"));
  EXPECT_TRUE(queue.Add(u"C:\\Dir\\b.txt"));
  EXPECT_FALSE(queue.Add(u"C:\\DIR\\B.txt"));
  EXPECT_EQ(list.items, (std::vector<std::u16string>{u"C:\\Dir\\a.txt", u"C:\\Dir\\b.txt"}));
}

TEST(WorkQueue, HeadCountAndRemoval) {
  VectorList list;
  WorkQueue queue(list, AsciiUpper);
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_EQ(queue.Head(), u"");
  queue.RemoveHead(); // nothing to remove
  queue.Add(u"a");
  queue.Add(u"b");
  EXPECT_EQ(queue.Count(), 2);
  EXPECT_EQ(queue.Head(), u"a");

  queue.RemoveHead();
  EXPECT_EQ(queue.Head(), u"b");
  EXPECT_FALSE(queue.Add(u"B")); // still queued
  EXPECT_TRUE(queue.Add(u"A"));  // freed by the removal
  EXPECT_EQ(list.items, (std::vector<std::u16string>{u"b", u"A"}));
}

TEST(WorkQueue, PutFirstMovesAQueuedPathToTheHeadInItsNewSpelling) {
  VectorList list;
  WorkQueue queue(list, AsciiUpper);
  queue.Add(u"a");
  queue.Add(u"b");
  queue.PutFirst(u"B");
  queue.PutFirst(u"c");
  EXPECT_EQ(list.items, (std::vector<std::u16string>{u"c", u"B", u"a"}));
  EXPECT_FALSE(queue.Add(u"C"));
  queue.RemoveHead();
  EXPECT_TRUE(queue.Add(u"C"));
}

TEST(WorkQueue, RefusedAppendLeavesThePathAddable) {
  VectorList list;
  WorkQueue queue(list, AsciiUpper);
  list.refuseNext = true;
  EXPECT_THROW(queue.Add(u"C:\\a"), Exception);
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_TRUE(queue.Add(u"C:\\a"));
  EXPECT_EQ(queue.Count(), 1);
}

TEST(WorkQueue, EmptyFollowsEveryChangeWithoutAskingTheList) {
  VectorList list;
  WorkQueue queue(list, AsciiUpper);
  std::vector<bool> seen{queue.Empty()};
  queue.Add(u"a");
  seen.push_back(queue.Empty());
  queue.Add(u"A"); // refused: already queued
  queue.RemoveHead();
  seen.push_back(queue.Empty());
  list.refuseNext = true;
  EXPECT_THROW(queue.Add(u"b"), Exception);
  seen.push_back(queue.Empty());
  queue.PutFirst(u"c");
  seen.push_back(queue.Empty());
  list.items.clear(); // the list made anew, empty, as after its window was
  queue.Rebuild();
  seen.push_back(queue.Empty());
  EXPECT_EQ(seen, (std::vector<bool>{true, false, true, true, false, true}));
  // A drop asks once per path; a list box would take a message each time.
  list.countCalls = 0;
  for (int i = 0; i < 3; ++i)
    queue.Empty();
  EXPECT_EQ(list.countCalls, 0);
}

// Lowercased ASCII, each unit as two bytes high first, so that byte order
// matches code unit order.
std::string LowerKey(const std::u16string& s) {
  std::string key;
  for (char16_t c : s) {
    if (c >= u'A' && c <= u'Z')
      c = static_cast<char16_t>(c + 32);
    key.push_back(static_cast<char>(c >> 8));
    key.push_back(static_cast<char>(c & 0xFF));
  }
  return key;
}

TEST(SortForDrop, OrdersByKeyBytes) {
  std::vector<std::u16string> paths = {u"C:\\\u3042", u"C:\\b", u"C:\\\u00E9", u"C:\\A", u"C:\\z"};
  SortForDrop(paths, LowerKey);
  // Keys with bytes of 0x80 and above sort after ASCII ones.
  EXPECT_EQ(paths, (std::vector<std::u16string>{u"C:\\A", u"C:\\b", u"C:\\z", u"C:\\\u00E9",
                                                u"C:\\\u3042"}));
  std::vector<std::u16string> none;
  SortForDrop(none, LowerKey);
  EXPECT_TRUE(none.empty());
}

TEST(SortForDrop, LargeInputMakesOneKeyPerPathAndSorts) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> unit(0x20, 0x7E);
  std::vector<std::u16string> paths(50000);
  for (auto& p : paths) {
    p = u"C:\\";
    for (int i = 0, n = 1 + static_cast<int>(rng() % 12); i < n; ++i)
      p.push_back(static_cast<char16_t>(unit(rng)));
  }
  auto original = paths;
  std::size_t keyCalls = 0;
  SortForDrop(paths, [&](const std::u16string& p) {
    ++keyCalls;
    return LowerKey(p);
  });
  EXPECT_EQ(keyCalls, original.size());
  EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end(), [](const auto& a, const auto& b) {
    return LowerKey(a) < LowerKey(b);
  }));
  std::sort(original.begin(), original.end());
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, original);
}

} // namespace
} // namespace tavu
