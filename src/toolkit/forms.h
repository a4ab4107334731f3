#pragma once
#include <windows.h>

#include <functional>
#include <string>

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

  TButton* DefaultButton = nullptr; // Enter
  TButton* CancelButton = nullptr;  // Esc
  TWinControl* ActiveControl = nullptr;

  // Frame style: sizeable window (the default) or tool window.
  bool ToolWindow = false;
  bool MaximizeBox = false;
  bool ShowInTaskbar = true;

  // The designed client size at 96 dpi.
  int ClientWidth = 0;
  int ClientHeight = 0;

  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  HFONT FontHandle() const { return fontHandle_.Get(); }
  int Dpi() const { return dpi_; }

  // Creates the window and its controls, lays them out for the monitor's
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

private:
  static LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
  void RegisterClass(const wchar_t* className);
  void RebuildFont();

  std::u16string className_;
  TFont font_;
  ScopedFont fontHandle_;
  int dpi_ = 96;
  HWND tooltip_ = nullptr;
};

// The application object: title, hidden application window, message loop,
// shortcut hook and the error box.
class TApplication {
public:
  std::u16string Title;
  TForm* MainForm = nullptr;
  // Replaces the error box (for tests); receives the text the box would show.
  std::function<void(const std::u16string&)> OnException;

  // The hidden application window (sent as wParam of a hand-off).
  HWND Handle();
  // Shows the main form and runs the message loop until it closes.
  void Run();
  // Handles every waiting message as the loop would; false once the loop should end.
  bool ProcessMessages();
  // One message through the shortcut hook, dialog keys and dispatch.
  void Dispatch(MSG& msg);
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Lets the loop run again after Terminate (a test runs many main forms).
  void Reset() { terminated_ = false; }
  // Shows the pending exception (call inside a catch block) in the error box.
  void HandleException();
  void ShowError(const std::u16string& message);

private:
  HWND handle_ = nullptr;
  bool terminated_ = false;
};

TApplication& Application();

} // namespace tk
