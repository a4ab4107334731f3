#include "toolkit/progress.h"

#include <commctrl.h>
#include <process.h>

#include <initializer_list>

#include "common/wide.h"
#include "core/progress.h"
#include "toolkit/forms.h"

namespace tk {

namespace {

constexpr ULONGLONG kShowAfterMs = 500;
enum : WORD { kItem = 100, kFile, kBar, kCounts, kRemaining };

// A dialog template made at compile time: the header, then the items, each
// starting on a DWORD. Texts that change are set once the window exists.
struct DialogTemplate {
  WORD w[160]{};
  int n = 0;

  constexpr void Dword(DWORD d) {
    w[n++] = static_cast<WORD>(d & 0xFFFF);
    w[n++] = static_cast<WORD>(d >> 16);
  }
  constexpr void Words(std::initializer_list<int> words) {
    for (int word : words)
      w[n++] = static_cast<WORD>(word);
  }
  constexpr void Text(const char16_t* s) {
    while (*s)
      w[n++] = *s++;
    w[n++] = 0;
  }
  // A control of a predefined class (0x80 button, 0x82 static) or, with
  // atom 0, of the class `cls`.
  constexpr void Item(DWORD style, int x, int y, int cx, int cy, int id, int atom,
                      const char16_t* cls = u"", const char16_t* text = u"") {
    if (n % 2)
      w[n++] = 0;
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);
    Words({x, y, cx, cy, id});
    if (atom)
      Words({0xFFFF, atom});
    else
      Text(cls);
    Text(text);
    w[n++] = 0;
  }
};

constexpr DialogTemplate MakeProgressTemplate() {
  DialogTemplate t;
  t.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
  t.Dword(0);
  t.Words({6, 0, 0, 280, 92, 0, 0, 0, 9}); // items, x, y, cx, cy, no menu, class, title; points
  t.Text(u"MS Shell Dlg");
  t.Item(SS_NOPREFIX | SS_ENDELLIPSIS, 7, 7, 266, 9, kItem, 0x82);
  t.Item(SS_NOPREFIX | SS_PATHELLIPSIS, 7, 19, 266, 9, kFile, 0x82);
  t.Item(0, 7, 32, 266, 10, kBar, 0, u"msctls_progress32");
  t.Item(SS_NOPREFIX, 7, 47, 266, 9, kCounts, 0x82);
  t.Item(SS_NOPREFIX, 7, 59, 266, 9, kRemaining, 0x82);
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 216, 72, 57, 14, IDCANCEL, 0x80, u"", u"キャンセル");
  return t;
}
alignas(4) constexpr DialogTemplate kProgressTemplate = MakeProgressTemplate();

struct Shown {
  Pelvane::Transfer& transfer;
  ULONGLONG start;
  bool marquee = false;
  std::u16string texts[5]; // as last set, from kItem on
};

void SetText(HWND dialog, Shown& s, WORD id, const std::u16string& text) {
  auto& last = s.texts[id - kItem];
  if (last == text)
    return;
  last = text;
  SetDlgItemTextW(dialog, id, AsWide(text));
}

void Refresh(HWND dialog, Shown& s) {
  const auto now = s.transfer.Snapshot();
  const tavu::ProgressFigures f{now.doneBytes,  now.totalBytes, now.doneFiles,
                                now.totalFiles, now.counted,    GetTickCount64() - s.start};
  SetText(dialog, s, kFile, now.current);
  SetText(dialog, s, kCounts, tavu::ProgressCounts(f));
  SetText(dialog, s, kRemaining, tavu::RemainingTime(f));
  HWND bar = GetDlgItem(dialog, kBar);
  const int permille = tavu::ProgressPermille(f);
  // Until the totals are known the bar only shows that work goes on.
  if ((permille < 0) != s.marquee) {
    s.marquee = permille < 0;
    const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    SetWindowLongPtrW(bar, GWL_STYLE, s.marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(bar, PBM_SETMARQUEE, s.marquee, 50);
  }
  if (!s.marquee)
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lp);
    SetTimer(dialog, 1, 200, nullptr);
  }
  auto* s = reinterpret_cast<Shown*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!s)
    return FALSE;
  switch (msg) {
  case WM_INITDIALOG:
    // Thousandths: the default range of a hundred steps would fill the bar at once.
    SendDlgItemMessageW(dialog, kBar, PBM_SETRANGE32, 0, 1000);
    [[fallthrough]];
  case WM_TIMER:
    Refresh(dialog, *s);
    return TRUE;
  case WM_COMMAND:
    // The close box and Esc come here too.
    if (LOWORD(wp) == IDCANCEL) {
      s->transfer.Cancel();
      EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    }
    return TRUE;
  default:
    return FALSE;
  }
}

HWND ShowProgress(HWND owner, const std::u16string& caption, const std::u16string& item,
                  Shown& shown) {
  // comctl32 is loaded on first use only; the bar's class comes with it.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  HWND dialog = CreateDialogIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(kProgressTemplate.w), owner,
      ProgressProc, reinterpret_cast<LPARAM>(&shown));
  if (dialog) {
    SetWindowTextW(dialog, AsWide(caption));
    SetText(dialog, shown, kItem, item);
    ShowWindow(dialog, SW_SHOW);
  }
  return dialog;
}

struct Work {
  const std::function<void()>& work;
  Pelvane::Transfer& transfer;
  tavu::TransferOutcome outcome;
};

unsigned __stdcall RunWork(void* p) {
  auto* w = static_cast<Work*>(p);
  try {
    w->work();
  } catch (const Pelvane::TransferCancelled&) {
    w->outcome = tavu::TransferOutcome::Stopped;
  } catch (...) {
    w->outcome = tavu::TransferOutcome::Failed;
  }
  w->transfer.ended = true;
  return 0;
}

} // namespace

tavu::TransferOutcome RunTransfer(HWND owner, const std::u16string& caption,
                                  const std::u16string& item, Pelvane::Transfer& transfer,
                                  const std::function<void()>& work) {
  Work w{work, transfer, tavu::TransferOutcome::Done};
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunWork, &w, 0, nullptr));
  if (!thread) {
    RunWork(&w);
  } else {
    TModalScope modal;
    Shown shown{transfer, GetTickCount64(), false, {}};
    HWND dialog = nullptr;
    bool due = false, quit = false;
    WPARAM quitCode = 0;
    for (;;) {
      DWORD wait = INFINITE;
      if (!due) {
        const ULONGLONG elapsed = GetTickCount64() - shown.start;
        due = elapsed >= kShowAfterMs;
        if (due)
          dialog = ShowProgress(owner, caption, item, shown);
        else
          wait = static_cast<DWORD>(kShowAfterMs - elapsed);
      }
      if (MsgWaitForMultipleObjectsEx(1, &thread, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
          WAIT_OBJECT_0)
        break;
      // Sent messages (a hand-off from a later launch) are handled in here too.
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          // The loop that asked to end sees its request again afterwards.
          quit = true;
          quitCode = msg.wParam;
        } else if (!dialog || !IsDialogMessageW(dialog, &msg)) {
          Application().Dispatch(msg);
        }
      }
    }
    CloseHandle(thread);
    if (dialog)
      DestroyWindow(dialog);
    if (quit)
      PostQuitMessage(static_cast<int>(quitCode));
  }
  return w.outcome;
}

} // namespace tk
