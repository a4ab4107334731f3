#pragma once
// Shared helpers of the in-process window tests: a bounded message pump and
// a main window that is built, shown and torn down per test.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/pelvane.h"
#include "forms/main.h"
#include "scratch.h"
#include "toolkit/forms.h"

namespace tk {
// The tests' way into the application object.
class ApplicationTestAccess {
public:
  // Handles every waiting message as the loop would; false once the loop should end.
  static bool ProcessMessages() {
    MSG msg;
    while (!Application().terminated_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        Application().terminated_ = true;
        break;
      }
      Application().Dispatch(msg);
    }
    return !Application().terminated_;
  }
  static bool Terminated() { return Application().terminated_; }
  // Lets the loop run again after Terminate (a test runs many main forms).
  static void Reset() { Application().terminated_ = false; }
  // Starts over from a program that has no application window yet.
  static void ForgetWindow() {
    if (Application().handle_)
      DestroyWindow(Application().handle_);
    Application().handle_ = nullptr;
  }
};
} // namespace tk

namespace wintest {

// Runs the application's message handling until `done` holds; false when
// `timeoutMs` passed first. Posted key messages take the application's own
// path (shortcut hook, dialog keys), as they would in the real loop.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    tk::ApplicationTestAccess::ProcessMessages();
    if (done())
      return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline)
      return false;
    const DWORD left = static_cast<DWORD>(deadline - now);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
  }
}

// Handles whatever arrives during `ms` milliseconds.
inline void Pump(DWORD ms = 50) {
  PumpUntil([] { return false; }, ms);
}

} // namespace wintest

// The tests' way to the main window's private fields.
struct MainFormFields {
  tk::TListBox& ListBox;
  std::u16string& MCopyMoveDir;
  tk::TEdit*& MEdit;
  tavu::ShortCutTable& MShortCut;
  HWND& MExp;
};
class MainFormTestAccess {
public:
  static MainFormFields Of(TMainForm& f) {
    return {f.ListBox, f.MCopyMoveDir, f.MEdit, f.MShortCut, f.MExp};
  }
};

namespace wintest {

// Puts a replacement in place through a layer's `Use…` function while it
// lives, and the one it replaced back afterwards.
template <class Step> class UseScope {
public:
  UseScope(Step (*use)(Step), Step replacement) : use_(use), saved_(use(replacement)) {}
  ~UseScope() { use_(saved_); }
  UseScope(const UseScope&) = delete;
  UseScope& operator=(const UseScope&) = delete;

private:
  Step (*use_)(Step);
  Step saved_;
};

inline MainFormFields Fields(TMainForm& f) {
  return MainFormTestAccess::Of(f);
}

// The queue's list box, which only the main window itself may change.
inline tk::TListBox& QueueList(TMainForm& f) {
  return Fields(f).ListBox;
}

// Forgets a finished message loop: removes the WM_QUIT a closed main form
// posted, and lets the next test's loop run.
inline void ResetApplication() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  tk::ApplicationTestAccess::Reset();
}

// The queue as the list box holds it.
inline std::vector<std::u16string> Items(TMainForm& f) {
  std::vector<std::u16string> out;
  for (int i = 0; i < f.Queue().Count(); ++i)
    out.push_back(f.Queue().Item(i));
  return out;
}

// ASCII letters in upper case, as paths compare ignoring case.
inline std::u16string Upper(std::u16string s) {
  for (auto& c : s)
    if (c >= u'a' && c <= u'z')
      c = static_cast<char16_t>(c - 32);
  return s;
}

// Collects what the error box would show, for the life of the object.
class ErrorCapture {
public:
  std::vector<std::u16string> texts;
  ErrorCapture() {
    tk::UseErrorBox([this](const std::u16string& t) { texts.push_back(t); });
  }
  ~ErrorCapture() { tk::UseErrorBox(nullptr); }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;
};

// A data folder of the test's own for the life of the object.
class DataFolderScope {
public:
  explicit DataFolderScope(const std::u16string& folder) : saved_(Pelvane::DataFolder) {
    Pelvane::DataFolder = folder + u"\\";
  }
  ~DataFolderScope() { Pelvane::DataFolder = saved_; }
  DataFolderScope(const DataFolderScope&) = delete;
  DataFolderScope& operator=(const DataFolderScope&) = delete;

private:
  std::u16string saved_;
};

// Sends a drop as the shell builds one: DROPFILES, then the names, each ended
// by a zero, and an empty name; ANSI names must be plain ASCII here. True
// when the drop was finished (DragFinish frees it; asked at once, as the
// next allocation may reuse the handle).
inline bool SendDrop(HWND target, const std::vector<std::u16string>& names, POINT pt = {1, 2},
                     bool wide = true) {
  std::u16string list;
  for (const auto& n : names)
    list += n + u'\0';
  list += u'\0';
  std::size_t bytes = wide ? list.size() * 2 : list.size();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
  auto* df = static_cast<DROPFILES*>(GlobalLock(h));
  *df = {sizeof(DROPFILES), pt, FALSE, wide};
  auto* p = reinterpret_cast<char*>(df + 1);
  if (wide)
    std::memcpy(p, list.data(), bytes);
  else
    for (std::size_t i = 0; i < list.size(); ++i)
      p[i] = static_cast<char>(list[i]);
  GlobalUnlock(h);
  EXPECT_EQ(SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(h), 0), 0);
  return GlobalFlags(h) == GMEM_INVALID_HANDLE;
}

// Puts `fn` in front of a control's window procedure while it lives; `fn`
// passes a message on with Next.
class Hook {
public:
  using Fn = std::function<void(Hook& self, tk::TMessage& m)>;
  Hook(tk::TWinControl& control, Fn fn)
      : control_(control), own_(control.WindowProc), fn_(std::move(fn)) {
    control_.WindowProc = tk::TWndMethod(this);
  }
  ~Hook() { Unhook(); }
  // Puts the procedure that was there before back in place.
  void Unhook() {
    if (control_.WindowProc == tk::TWndMethod(this))
      control_.WindowProc = own_;
  }
  Hook(const Hook&) = delete;
  Hook& operator=(const Hook&) = delete;

  void operator()(tk::TMessage& m) { fn_(*this, m); }
  void Next(tk::TMessage& m) const { own_(m); }

private:
  tk::TWinControl& control_;
  tk::TWndMethod own_;
  Fn fn_;
};

// Types at the end of the field, one WM_CHAR per code unit, as the keyboard would.
inline void Type(tk::TEdit& edit, const std::u16string& text) {
  HWND h = edit.Handle();
  int end = GetWindowTextLengthW(h);
  SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(end), end);
  for (char16_t c : text)
    SendMessageW(h, WM_CHAR, c, 1);
}

// A TMainForm as the program's main routine makes it: the application's
// title and main form, the given command-line arguments, CreateForm and
// Show. The destructor destroys the window and resets the application.
class MainWindow {
public:
  explicit MainWindow(std::vector<std::u16string> arguments = {}) {
    // A test that names no data folder gets a fresh one, so that no test
    // reads the settings another one wrote at its close.
    if (Pelvane::DataFolder.empty()) {
      data_ = std::make_unique<ScratchFolder>();
      Pelvane::DataFolder = data_->Path(u"");
    }
    ResetApplication();
    tk::Application().Title = u"TAVU";
    form_ = std::make_unique<TMainForm>();
    form_->Arguments = std::move(arguments);
    tk::Application().MainForm = form_.get();
    form_->CreateForm();
    form_->Show();
    Pump(20);
  }
  ~MainWindow() {
    if (tk::Application().MainForm == form_.get())
      tk::Application().MainForm = nullptr;
    form_.reset();
    Pump(10);
    ResetApplication();
    if (data_)
      Pelvane::DataFolder.clear();
  }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  TMainForm& operator*() { return *form_; }
  TMainForm* operator->() { return form_.get(); }
  TMainForm& Form() { return *form_; }
  HWND Handle() { return form_->Handle(); }

private:
  std::unique_ptr<ScratchFolder> data_;
  std::unique_ptr<TMainForm> form_;
};

} // namespace wintest
