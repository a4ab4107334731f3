// The work queue filled from the command line and walked with Esc and the
// cancel button, as a user at the real window would.
#include "e2e_support.h"

namespace e2e {
namespace {

using Items = std::vector<std::wstring>;

class CommandLineQueue : public TavuTest {};

TEST_F(CommandLineQueue, QuotedPathsAreQueuedInOrderAndSkippedOneByOne) {
  const std::wstring folder = Temp() + L"\\My Files";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring spaced = folder + L"\\a b.txt";
  const std::wstring dotted = folder + L"\\report 2024.tar.gz";
  const std::wstring root = L"C:\\";
  const std::wstring missing = folder + L"\\not here.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(spaced));
  ASSERT_NO_FATAL_FAILURE(MakeFile(dotted));

  // The quote before the root's closing quote is no escape: "C:\" stays C:\.
  Process& tavu = Launch(Quoted({spaced, dotted, root, missing}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));

  EXPECT_EQ(ListItems(c.list), (Items{spaced, dotted, root, missing}));
  EXPECT_EQ(TextOf(c.path), spaced);
  EXPECT_TRUE(GetWindowLongW(c.path, GWL_STYLE) & ES_READONLY) << "the path can be edited";
  EXPECT_EQ(TextOf(c.name), L"a b");
  EXPECT_EQ(TextOf(c.ext), L"txt");
  EXPECT_TRUE(IsWindowEnabled(c.ok));

  PressEscape(main, c.name);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.path) == dotted; })) << "Esc did not move on";
  EXPECT_EQ(ListItems(c.list), (Items{dotted, root, missing}));
  EXPECT_EQ(TextOf(c.name), L"report 2024.tar");
  EXPECT_EQ(TextOf(c.ext), L"gz");
  EXPECT_TRUE(IsWindowEnabled(c.ok));

  PressEscape(main, c.name);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.path) == root; })) << "Esc did not move on";
  EXPECT_EQ(ListItems(c.list), (Items{root, missing}));

  // The cancel button does what Esc does (a disabled one must never be clicked).
  ASSERT_TRUE(IsWindowEnabled(c.cancel));
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(c.cancel, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result));
  ASSERT_TRUE(WaitUntil([&] { return TextOf(c.path) == missing; }))
      << "cancel did not move on; path " << TextOf(c.path) << ", " << ListItems(c.list).size()
      << " items";
  EXPECT_EQ(ListItems(c.list), Items{missing});
  EXPECT_FALSE(IsWindowEnabled(c.ok)) << "OK is enabled for a path that does not exist";

  PressEscape(main, c.name);
  DWORD code = 99;
  ASSERT_TRUE(tavu.WaitForExit(kDeadlineMs, &code)) << "Esc on the last item did not end TAVU";
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(IsWindow(main));
}

// Sets a control's text as typing would leave it; the edit reports the change to the program.
void Type(HWND edit, const wchar_t* text) {
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                                  5000, &result));
}

TEST_F(CommandLineQueue, OKFollowsTheNameAsItIsTyped) {
  const std::wstring file = Temp() + L"\\draft.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(file));
  Process& tavu = Launch(Quoted({file}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  ASSERT_TRUE(IsWindowEnabled(c.ok));

  ASSERT_NO_FATAL_FAILURE(Type(c.name, L"bad:name"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(c.ok); })) << "OK stays on for a colon";
  ASSERT_NO_FATAL_FAILURE(Type(c.name, L"final"));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  ASSERT_NO_FATAL_FAILURE(Type(c.name, L""));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(c.ok); })) << "OK stays on for no name";
  ASSERT_NO_FATAL_FAILURE(Type(c.name, L"final"));
  ASSERT_NO_FATAL_FAILURE(Type(c.ext, L"t|xt"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(c.ok); })) << "OK stays on for a bar";
}

TEST_F(CommandLineQueue, DuplicateArgumentsIgnoringCaseAreQueuedOnce) {
  const std::wstring file = Temp() + L"\\Notes.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(file));
  std::wstring upper = file;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  Process& tavu = Launch(Quoted({file, upper, file}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  EXPECT_EQ(ListItems(c.list), Items{file});
}

} // namespace
} // namespace e2e
