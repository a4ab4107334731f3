#pragma once
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "toolkit/controls.h"
#include "common/handle.h"

namespace tk {

struct TFont {
  std::u16string name = u"Tahoma";
  int size = 8; // points
};

// A top-level window with a window class of its own name. The object is
// found from its window through GWLP_USERDATA, set at WM_NCCREATE.
class TForm : public TWinControl {
public:
  TForm(TComponent* owner, std::u16string name, std::u16string className);
  ~TForm() override;

  std::function<void()> OnCreate;
  std::function<bool()> OnCloseQuery; // false keeps the window open
  std::function<void()> OnShow;
  std::function<void()> OnResize;

  TButton* DefaultButton = nullptr; // Enter
  TButton* CancelButton = nullptr;  // Esc
  TWinControl* ActiveControl = nullptr;

  // Frame style: sizeable window (the default) or tool window.
  bool ToolWindow = false;
  bool MaximizeBox = false;
  bool ShowInTaskbar = true;
  // Off: no system menu and so no border icons, close box included.
  bool SystemMenu = true;

  // The designed client size at 96 dpi.
  int ClientWidth = 0;
  int ClientHeight = 0;
  // The smallest outer size the user can drag the frame to, at 96 dpi.
  int MinWidth = 0;
  int MinHeight = 0;

  // Sets the client area's height in pixels, keeping the width.
  void SetClientHeight(int height);
  // The outer frame as it is when the window is not minimised or maximised,
  // in screen pixels.
  RECT RestoredBounds();

  struct FlagSetting {
    const char16_t* key;
    bool value;
  };
  // Writes the window's settings into `section` of the INI file at `path`:
  // its restored frame under the keys "Left", "Top", "Width" and "Height" in
  // the order `frameKeys` gives, then the flags. A file that cannot be
  // written is reported in the error box, and that is all: a close that
  // waited for it would keep the window open for as long as the file stays
  // unwritable.
  void SaveSettings(const std::u16string& path, const std::u16string& section,
                    std::initializer_list<const char16_t*> frameKeys,
                    std::initializer_list<FlagSetting> flags);

  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  // Takes the face and size of the system's menu font at the window's DPI.
  void UseMenuFont();
  HFONT FontHandle() const { return fontHandle_.Get(); }
  int Dpi() const { return dpi_; }

  // Runs Loaded on the form's components (the layout is built by then),
  // creates the window and its controls, lays them out for the monitor's
  // DPI, then runs OnCreate; an exception there skips the rest of OnCreate
  // but the window stays.
  void CreateForm();
  void Show();
  void Hide();
  // Asks to close: runs the close query, then hides the window; closing
  // the application's main form ends the message loop.
  void Close();
  void BringToFront();

  // Sees every key-down of the application before the focused control;
  // true consumes the key.
  virtual bool IsShortCut(const MSG& msg);

  // Enter, Esc and Tab handling for a key message aimed at this form.
  bool HandleDialogKey(MSG& msg);

  // Sets the tooltip of a child window (empty text: no tooltip).
  void SetToolText(HWND control, const std::u16string& text);
  std::u16string ToolText(HWND control);
  // Hands a child's mouse message to the tooltip, which cannot see it otherwise.
  void RelayToolMessage(HWND control, UINT msg, WPARAM wp, LPARAM lp);

  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;

  static TForm* FormFromHandle(HWND hwnd);

protected:
  void CreateParams(Params& p) override;
  void CreateHandle() override;
  void ApplyBounds() override;
  // The user has finished moving or sizing the window.
  virtual void WMExitSizeMove() {}

private:
  static LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
  void RebuildFont();

  std::u16string className_;
  TFont font_;
  ScopedFont fontHandle_;
  int dpi_ = 96;
  int layoutDpi_ = 96;  // the DPI the controls' bounds are scaled to
  bool placed_ = false; // bounds_ hold a real frame (made anew: keep it)
  HWND tooltip_ = nullptr;
};

// While it lives, every enabled top-level form of the program is disabled,
// as around a modal dialog; they are enabled again, and the active window
// activated, when it goes.
class TModalScope {
public:
  TModalScope();
  ~TModalScope();
  TModalScope(const TModalScope&) = delete;
  TModalScope& operator=(const TModalScope&) = delete;
  // The program's active window when the scope began (the main form when
  // none was active): the owner for a message box.
  HWND Owner() const { return owner_; }

private:
  HWND owner_ = nullptr;
  HWND focus_ = nullptr;
  std::vector<HWND> disabled_;
};

// The application object: title, hidden application window, message loop,
// shortcut hook and the error box.
class TApplication {
public:
  std::u16string Title;
  TForm* MainForm = nullptr;

  // Creates the hidden application window. Call it before any form: the
  // window right below it in the Z order is the one the program was started
  // from.
  void Initialize();
  // The hidden application window (sent as wParam of a hand-off).
  HWND Handle();
  // Shows the main form and runs the message loop until it closes.
  void Run();
  // One message through the shortcut hook, dialog keys and dispatch.
  void Dispatch(MSG& msg);
  void Terminate();
  // Shows the pending exception (call inside a catch block) in the error box.
  void HandleException();
  void ShowError(const std::u16string& message);
  // A modal message box owned by the program's active window, every form
  // disabled while it is open.
  int ShowMessageBox(const std::u16string& text, const std::u16string& caption, UINT flags);
  // Shows a popup menu and returns the chosen command (0: none).
  int TrackMenu(HMENU menu, int x, int y, HWND owner);

private:
  friend class ApplicationTestAccess;
  bool RunShortCutHooks(const MSG& msg);
  HWND handle_ = nullptr;
  bool terminated_ = false;
};

TApplication& Application();

// What stands in for the error box: it receives the text the box would show.
// UseErrorBox puts `box` in use (empty: the message box again) and returns
// the one that was in use.
using ErrorBox = std::function<void(const std::u16string& text)>;
ErrorBox UseErrorBox(ErrorBox box);
// What stands in for TrackPopupMenu: shows the menu and returns the chosen
// command (0: none). UseMenuTracker puts `tracker` in use (empty:
// TrackPopupMenu again) and returns the one that was in use.
using MenuTracker = std::function<int(HMENU menu, int x, int y, HWND owner)>;
MenuTracker UseMenuTracker(MenuTracker tracker);

// Runs f for a callback that comes from outside a window procedure (a
// browse callback, a hook): an exception goes to the error box instead of
// crossing into the system, and the fallback is returned.
template <class R, class F> R Guarded(R fallback, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    try {
      Application().HandleException();
    } catch (...) {
    }
    return fallback;
  }
}

} // namespace tk
