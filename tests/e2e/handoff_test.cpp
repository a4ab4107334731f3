// The hand-off record on the wire: what a second launch sends, and what the
// running window makes of records it cannot trust.
#include "e2e_support.h"

#include <cstring>

namespace e2e {
namespace {

const wchar_t kMutexName[] = L"TAVU/Pelvane Project";

using Items = std::vector<std::wstring>;
using Bytes = std::vector<unsigned char>;

// What the stand-in window saw of the one WM_COPYDATA it expects.
struct Received {
  bool arrived = false;
  int count = 0;
  ULONG_PTR dwData = 0;
  DWORD cbData = 0;
  Bytes bytes;
  DWORD senderPid = 0;
};
Received g_received;

LRESULT CALLBACK StandInProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    ++g_received.count;
    g_received.arrived = true;
    g_received.dwData = cds->dwData;
    g_received.cbData = cds->cbData;
    const auto* p = static_cast<const unsigned char*>(cds->lpData);
    g_received.bytes.assign(p, p ? p + cds->cbData : p);
    g_received.senderPid =
        IsWindow(reinterpret_cast<HWND>(wp)) ? WindowProcessId(reinterpret_cast<HWND>(wp)) : 0;
    return TRUE;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

// The test process posing as the running instance: its mutex and a window
// of the main window's class and title.
class StandInInstance {
public:
  StandInInstance() {
    g_received = Received{};
    mutex_.Reset(CreateMutexW(nullptr, FALSE, kMutexName));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TMainForm";
    registered_ = RegisterClassExW(&wc) != 0;
    window_.Reset(CreateWindowExW(0, L"TMainForm", L"TAVU", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr));
  }
  ~StandInInstance() {
    window_.Reset();
    if (registered_)
      UnregisterClassW(L"TMainForm", GetModuleHandleW(nullptr));
  }
  StandInInstance(const StandInInstance&) = delete;
  StandInInstance& operator=(const StandInInstance&) = delete;

  bool Ready() const { return mutex_ && registered_ && window_; }

  // Pumps this thread's messages until the record has come or the time is up.
  bool WaitForRecord() {
    return WaitUntil([] {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      return g_received.arrived;
    });
  }

private:
  ScopedKernelHandle mutex_;
  ScopedWindow window_;
  bool registered_ = false;
};

Bytes Utf16Bytes(const std::wstring& text) {
  Bytes out(text.size() * sizeof(wchar_t));
  std::memcpy(out.data(), text.data(), out.size());
  return out;
}

class HandOffRecord : public TavuTest {};

TEST_F(HandOffRecord, CarriesTheFirstArgumentTwoTerminatorsAndTheArgumentCount) {
  StandInInstance standIn;
  ASSERT_TRUE(standIn.Ready());
  Process& sender = Launch(L"abcd second");
  ASSERT_TRUE(standIn.WaitForRecord()) << "no WM_COPYDATA arrived";
  EXPECT_EQ(g_received.cbData, 12u);
  EXPECT_EQ(g_received.dwData, 2u);
  Bytes expected = Utf16Bytes(L"abcd");
  expected.insert(expected.end(), 4, 0);
  EXPECT_EQ(g_received.bytes, expected);
  EXPECT_EQ(g_received.senderPid, sender.Id()) << "wParam is not a window of the sender";
  DWORD code = 99;
  ASSERT_TRUE(sender.WaitForExit(kDeadlineMs, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(g_received.count, 1);
}

TEST_F(HandOffRecord, CarriesAQuotedJapanesePathUnchanged) {
  StandInInstance standIn;
  ASSERT_TRUE(standIn.Ready());
  const std::wstring path = L"C:\\写真 フォルダ\\旅行　2024.jpg";
  Process& sender = Launch(Quoted({path}));
  ASSERT_TRUE(standIn.WaitForRecord()) << "no WM_COPYDATA arrived";
  EXPECT_EQ(g_received.dwData, 1u);
  EXPECT_EQ(g_received.cbData, 2 * (path.size() + 2));
  Bytes expected = Utf16Bytes(path);
  expected.insert(expected.end(), 4, 0);
  EXPECT_EQ(g_received.bytes, expected);
  DWORD code = 99;
  ASSERT_TRUE(sender.WaitForExit(kDeadlineMs, &code));
  EXPECT_EQ(code, 0u);
}

class MalformedRecord : public TavuTest {};

// Sends one record to the window with a bounded time-out; reports whether it was delivered.
bool SendRecord(HWND main, const void* data, DWORD cbData) {
  COPYDATASTRUCT cds{};
  cds.dwData = 1;
  cds.cbData = cbData;
  cds.lpData = const_cast<void*>(data);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL,
                             5000, &result) != 0;
}

TEST_F(MalformedRecord, QueuesOnlyWhatTheBoundedReadGivesAndKeepsRunning) {
  Process& tavu = Launch(L"");
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));

  const wchar_t ab[] = L"ab";
  const wchar_t empty[] = L"\0";
  // Nothing in or after this array is zero.
  const wchar_t unterminated[] = {L'l', L'o', L'n', L'g', L'e', L'r'};
  const wchar_t qrst[] = L"qrst";
  struct Case {
    const char* what;
    const void* data;
    DWORD cbData;
  } cases[] = {
      {"null data", nullptr, 8},
      {"no bytes", ab, 0},
      {"a single byte", ab, 1},
      {"an empty text", empty, sizeof empty},
      {"an odd size", ab, 5},
      {"no terminator within the record", unterminated, 8},
      {"the terminator only beyond the record", qrst, 8},
      {"a path already queued in other case", L"AB", 6},
  };
  for (const auto& k : cases) {
    EXPECT_TRUE(SendRecord(main, k.data, k.cbData)) << k.what << ": no answer";
    EXPECT_TRUE(Responds(main)) << "the window stopped answering after " << k.what;
  }
  EXPECT_TRUE(IsWindow(main));
  EXPECT_TRUE(tavu.IsAlive());
  EXPECT_EQ(ListItems(c.list), (Items{L"ab", L"long", L"qrst"}));
  // Only the first text went into an empty queue, so only it was loaded.
  EXPECT_EQ(TextOf(c.path), L"ab");
}

TEST_F(MalformedRecord, OddAndOversizedRecordsAreReadOnlyWithinTheirSize) {
  Process& tavu = Launch(L"");
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));

  // 64 KiB of text without a zero, with more of it behind the record's end.
  constexpr std::size_t kUnits = 0x10000 / sizeof(wchar_t);
  std::vector<wchar_t> big(kUnits + 16, L'Q');
  big[0] = L'P';
  const wchar_t xy[] = L"xy";
  const wchar_t vwxyz[] = L"vwxyz";
  struct Case {
    const char* what;
    const void* data;
    DWORD cbData;
  } cases[] = {
      {"null data without a size", nullptr, 0},
      {"three bytes: a unit and half of the next", xy, 3},
      {"seven bytes", vwxyz, 7},
      {"64 KiB without a zero", big.data(), 0x10000},
      {"64 KiB and one byte, from the second unit on", big.data() + 1, 0x10001},
  };
  for (const auto& k : cases) {
    EXPECT_TRUE(SendRecord(main, k.data, k.cbData)) << k.what << ": no answer";
    EXPECT_TRUE(Responds(main)) << "the window stopped answering after " << k.what;
  }
  EXPECT_TRUE(tavu.IsAlive());
  std::wstring first(kUnits, L'Q'), second(kUnits, L'Q');
  first[0] = L'P';
  const auto items = ListItems(c.list);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0], L"x");
  EXPECT_EQ(items[1], L"vwx");
  // Not one unit from beyond either record's end.
  EXPECT_EQ(items[2].size(), kUnits);
  EXPECT_TRUE(items[2] == first) << "the 64 KiB record was not queued as sent";
  EXPECT_EQ(items[3].size(), kUnits);
  EXPECT_TRUE(items[3] == second) << "the odd-sized record was not queued as sent";
  EXPECT_EQ(TextOf(c.path), L"x");
}

} // namespace
} // namespace e2e
