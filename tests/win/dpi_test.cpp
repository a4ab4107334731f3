// The main window at the system's DPI, as a per-monitor aware program sees
// it: the 96-dpi design multiplied by dpi / 96, the system menu font of that
// DPI, and every caption inside its control. The test command runs this
// suite once more in a prefix set to 144 dpi, naming the DPI it must find in
// TAVU_TEST_DPI.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "fixture.h"
#include "common/wide.h"
#include "toolkit/dpi.h"

namespace {

using wintest::MainWindow;

// The thread's windows are per-monitor aware while it lives, as tavu.exe's
// manifest makes all of its windows; the test program itself is unaware.
// Wine 8 refuses the second version of the context for a thread and takes
// the first.
class PerMonitorAware {
public:
  PerMonitorAware()
      : previous_(SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
    if (!previous_)
      previous_ = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  }
  ~PerMonitorAware() {
    if (previous_)
      SetThreadDpiAwarenessContext(previous_);
  }
  PerMonitorAware(const PerMonitorAware&) = delete;
  PerMonitorAware& operator=(const PerMonitorAware&) = delete;
  bool Ok() const { return previous_ != nullptr; }

private:
  DPI_AWARENESS_CONTEXT previous_;
};

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s)
    out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
  return out;
}

std::u16string WindowText(HWND h) {
  wchar_t buf[256] = {};
  int n = GetWindowTextW(h, buf, 256);
  return ToU16(buf, static_cast<std::size_t>(n > 0 ? n : 0));
}

// The caption as drawn: an ampersand marks the next character and is not shown.
std::u16string Shown(const std::u16string& caption) {
  std::u16string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size())
      ++i;
    out += caption[i];
  }
  return out;
}

// The size of `text` in the font the control draws with.
SIZE Extent(HWND control, const std::u16string& text) {
  HDC dc = GetDC(control);
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32W(dc, AsWide(text), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

RECT InParent(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Other DPI functions in place of the system's while it lives.
class DpiFunctionsScope {
public:
  explicit DpiFunctionsScope(const tk::DpiFunctions& f) : saved_(tk::UseDpiFunctions(f)) {}
  ~DpiFunctionsScope() { tk::UseDpiFunctions(saved_); }
  DpiFunctionsScope(const DpiFunctionsScope&) = delete;
  DpiFunctionsScope& operator=(const DpiFunctionsScope&) = delete;

private:
  tk::DpiFunctions saved_;
};

// The DPI of the monitor every window is on, as a stand-in for GetDpiForWindow.
int monitorDpi = 96;
UINT WINAPI MonitorDpi(HWND) {
  return static_cast<UINT>(monitorDpi);
}

// How far a drop-down list's open list reaches below the top of its field.
int DroppedReach(HWND combo) {
  RECT dropped{}, field{};
  SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  GetWindowRect(combo, &field);
  return dropped.bottom - field.top;
}

// The same for a drop-down list made beside the selector, given its font
// and then sized `height`, as the selector is (Windows counts the field in
// that height, Wine does not: the two can only be compared on one platform).
int ReachWhenSized(tk::TComboBox& selector, int height) {
  HWND combo =
      CreateWindowExW(0, WC_COMBOBOXW, nullptr, WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 100,
                      0, GetParent(selector.Handle()), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(combo, WM_SETFONT, SendMessageW(selector.Handle(), WM_GETFONT, 0, 0), TRUE);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"x"));
  MoveWindow(combo, 0, 0, 100, height, TRUE);
  const int reach = DroppedReach(combo);
  DestroyWindow(combo);
  return reach;
}

// The window's outer frame (`frameFor` puts the frame of that DPI around a
// client rectangle), its buttons, the selector's open list and the menu
// font's height, all as they must be at `dpi`.
void ExpectLaidOutAt(TMainForm& f, int dpi, int fontHeight,
                     const std::function<void(RECT&, DWORD, DWORD)>& frameFor) {
  auto scaled = [dpi](int v) { return MulDiv(v, dpi, 96); };
  EXPECT_EQ(f.Dpi(), dpi);
  RECT expected{0, 0, scaled(984), scaled(169)}, frame{};
  frameFor(expected, static_cast<DWORD>(GetWindowLongW(f.Handle(), GWL_STYLE)),
           static_cast<DWORD>(GetWindowLongW(f.Handle(), GWL_EXSTYLE)));
  GetWindowRect(f.Handle(), &frame);
  EXPECT_EQ(frame.right - frame.left, expected.right - expected.left);
  EXPECT_EQ(frame.bottom - frame.top, expected.bottom - expected.top);
  // Placed from the left edge, and sized: where the stand-in DPI is not the
  // window's real one, Wine's frame takes a few pixels off the client area.
  const RECT option = InParent(f.BtnOption.Handle()), ok = InParent(f.BtnOK.Handle());
  EXPECT_NEAR(option.left, scaled(1), 1);
  EXPECT_NEAR(option.right - option.left, scaled(120), 1);
  EXPECT_NEAR(ok.right - ok.left, scaled(150), 1);
  EXPECT_NEAR(ok.bottom - ok.top, scaled(28), 1);
  EXPECT_EQ(DroppedReach(f.ComboBox.Handle()), ReachWhenSized(f.ComboBox, scaled(200)));
  LOGFONTW used{};
  ASSERT_TRUE(GetObjectW(f.FontHandle(), sizeof used, &used));
  EXPECT_NEAR(std::abs(used.lfHeight), fontHeight, 1);
}

int SystemDpiExpected() {
  const char* env = std::getenv("TAVU_TEST_DPI");
  return env && *env ? std::atoi(env) : 0;
}

TEST(HighDpi, LayoutIsTheDesignScaledToTheSystemDpi) {
  PerMonitorAware aware;
  ASSERT_TRUE(aware.Ok());
  const int dpi = static_cast<int>(GetDpiForSystem());
  if (int wanted = SystemDpiExpected()) {
    ASSERT_EQ(dpi, wanted) << "the prefix does not run at the DPI the test command set";
  }
  MainWindow w;
  auto& f = *w;
  ASSERT_EQ(f.Dpi(), dpi);
  auto scaled = [dpi](int v) { return MulDiv(v, dpi, 96); };

  RECT client{};
  GetClientRect(f.Handle(), &client);
  EXPECT_EQ(client.right, scaled(984));
  EXPECT_EQ(client.bottom, scaled(169));

  struct Row {
    tk::TWinControl& c;
    int left, top, width, height; // at 96 dpi; height 0: the control's own
  };
  const Row rows[] = {
      {f.PanelEdit, 0, 0, 984, 78},   {f.EditPath, 1, 1, 982, 21},
      {f.EditName, 1, 22, 982, 21},   {f.Labelpiriodo, 1, 43, 982, 13},
      {f.EditExt, 1, 56, 982, 21},    {f.PanelBtn, 0, 78, 984, 30},
      {f.BtnOption, 1, 1, 120, 28},   {f.BtnNameClear, 121, 1, 120, 28},
      {f.BtnEdit, 241, 1, 120, 28},   {f.CHKOKClose, 463, 1, 100, 28},
      {f.ComboBox, 563, 1, 120, 0},   {f.BtnOK, 683, 1, 150, 28},
      {f.BtnCancel, 833, 1, 150, 28}, {wintest::QueueList(f), 0, 108, 984, 61},
  };
  // A docked control follows its container's 1-pixel border, which the
  // system does not scale: one pixel either way is rounding, not a fault.
  for (const auto& r : rows) {
    SCOPED_TRACE(Narrow(r.c.Name()));
    RECT b = InParent(r.c.Handle());
    EXPECT_NEAR(b.left, scaled(r.left), 1);
    EXPECT_NEAR(b.top, scaled(r.top), 1);
    EXPECT_NEAR(b.right - b.left, scaled(r.width), 1);
    if (r.height) {
      EXPECT_NEAR(b.bottom - b.top, scaled(r.height), 1);
    }
  }
}

TEST(HighDpi, CaptionsFitTheirControlsInTheMenuFontOfThatDpi) {
  PerMonitorAware aware;
  ASSERT_TRUE(aware.Ok());
  const int dpi = static_cast<int>(GetDpiForSystem());
  MainWindow w;
  auto& f = *w;

  // The window takes the system menu font as the system gives it for this DPI.
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0,
                                         static_cast<UINT>(dpi)));
  LOGFONTW used{};
  ASSERT_TRUE(GetObjectW(f.FontHandle(), sizeof used, &used));
  EXPECT_EQ(std::wstring(used.lfFaceName), std::wstring(ncm.lfMenuFont.lfFaceName));
  EXPECT_NEAR(std::abs(used.lfHeight), std::abs(ncm.lfMenuFont.lfHeight), 1);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(f.BtnOK.Handle(), WM_GETFONT, 0, 0)),
            f.FontHandle());

  const int checkWidth = GetSystemMetricsForDpi(SM_CXMENUCHECK, static_cast<UINT>(dpi));
  struct Row {
    tk::TWinControl& c;
    int reserved;         // room the control keeps for something other than the caption
    const char16_t* text; // null: the control's own
  };
  // The period label is empty until a file is loaded: its designed text.
  const Row captioned[] = {{f.BtnOption, 0, nullptr},
                           {f.BtnNameClear, 0, nullptr},
                           {f.BtnEdit, 0, nullptr},
                           {f.CHKOKClose, checkWidth, nullptr},
                           {f.BtnOK, 0, nullptr},
                           {f.BtnCancel, 0, nullptr},
                           {f.Labelpiriodo, 0, u"\u3000\uFF0E\u3000"}};
  for (const auto& r : captioned) {
    HWND h = r.c.Handle();
    std::u16string text = r.text ? std::u16string(r.text) : Shown(WindowText(h));
    SCOPED_TRACE(Narrow(r.c.Name()) + " " + Narrow(text));
    ASSERT_FALSE(text.empty());
    RECT box{};
    GetClientRect(h, &box);
    SIZE size = Extent(h, text);
    EXPECT_LE(size.cx + r.reserved, box.right);
    EXPECT_LE(size.cy, box.bottom);
  }

  // Each mode of the selector fits its field beside the drop-down button.
  HWND combo = f.ComboBox.Handle();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  ASSERT_EQ(count, 3);
  for (int i = 0; i < count; ++i) {
    wchar_t buf[32] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    SIZE size = Extent(combo, ToU16(buf));
    EXPECT_LE(size.cx, info.rcItem.right - info.rcItem.left) << Narrow(ToU16(buf));
    EXPECT_LE(size.cy, info.rcItem.bottom - info.rcItem.top) << Narrow(ToU16(buf));
  }

  // A line of text fits each field's height.
  for (auto* e : {&f.EditPath, &f.EditName, &f.EditExt}) {
    RECT box{};
    GetClientRect(e->Handle(), &box);
    EXPECT_LE(Extent(e->Handle(), u"Ag漢字").cy, box.bottom) << Narrow(e->Name());
  }
}

TEST(HighDpi, WithoutThePerMonitorFunctionsTheWindowTakesTheSystemDpi) {
  // As on Windows 7 and 8.1, where user32 has none of them.
  PerMonitorAware aware;
  ASSERT_TRUE(aware.Ok());
  const int dpi = static_cast<int>(GetDpiForSystem());
  DpiFunctionsScope missing({});
  MainWindow w;
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0));
  // The frame around the client area is the system's own.
  ExpectLaidOutAt(
      *w, dpi, std::abs(ncm.lfMenuFont.lfHeight),
      [](RECT& r, DWORD style, DWORD exStyle) { AdjustWindowRectEx(&r, style, FALSE, exStyle); });
}

TEST(HighDpi, AWindowOnAMonitorOfAnotherDpiTakesThatDpisLayoutAndMenuFont) {
  PerMonitorAware aware;
  ASSERT_TRUE(aware.Ok());
  // Beside a 96-dpi primary monitor, one of 120 dpi; beside a larger one, 96.
  const int system = static_cast<int>(GetDpiForSystem());
  monitorDpi = system == 96 ? 120 : 96;
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0,
                                         static_cast<UINT>(monitorDpi)));
  // The menu font for that monitor from the system, or else scaled from the
  // system DPI's, as on Windows 8.1.
  for (bool fontForDpi : {true, false}) {
    SCOPED_TRACE(fontForDpi ? "SystemParametersInfoForDpi" : "without it");
    tk::DpiFunctions f = tk::SystemDpiFunctions();
    f.GetDpiForWindow = MonitorDpi;
    if (!fontForDpi)
      f.SystemParametersInfoForDpi = nullptr;
    DpiFunctionsScope other(f);
    MainWindow w;
    ExpectLaidOutAt(
        *w, monitorDpi, std::abs(ncm.lfMenuFont.lfHeight), [](RECT& r, DWORD style, DWORD exStyle) {
          AdjustWindowRectExForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(monitorDpi));
        });
  }
}

} // namespace
