#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/controls.h"
#include "toolkit/forms.h"

class TMainForm;

// The word list window: the lines of "TAVU-Note.txt" in the data folder, to
// be inserted into the main window's name field or copied to the clipboard.
// The file is kept by the user's editor; the window opens it there and reads
// it again on request. Closing only hides the window.
class TNoteForm : public tk::TForm {
public:
  // Makes the window (hidden) for that main window, which must outlive it;
  // the main window knows it as its NoteForm from then on.
  explicit TNoteForm(TMainForm& main);
  ~TNoteForm() override;

  tk::TToolBar ToolBar;
  tk::TToolButton TBName;
  tk::TToolButton TBClip;
  tk::TToolButton ToolButton2;
  tk::TToolButton TBEdit;
  tk::TToolButton TBReload;
  tk::TToolButton ToolButton1;
  tk::TToolButton TBClose;
  tk::TToolButton TBEnd;
  tk::TToolButton TBShow;
  tk::TListBox ListBox;

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormResize();
  // Writes the window's settings to "K-Sorel.ini"; always lets it close.
  bool FormCloseQuery();
  void TBCloseClick();
  void TBEditClick();
  void TBReloadClick();
  void TBClipClick();
  void TBNameClick();
  void ListBoxDblClick();
  void ListBoxKeyPress(char16_t& key);

  // Private field, kept public for the tests: the word list file's full path.
  std::u16string MNote;

  // How TBEditClick asks the shell to open the file; a test puts a recorder here.
  using ShellOpen = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static ShellOpen ShellExecuteFn;

private:
  void BuildLayout();
  // Reads the window's bounds and the start-up flag from "K-Sorel.ini".
  void ReadSettings();
  // Replaces the entries with the file's lines; throws, leaving them as they
  // were, when the file cannot be read.
  void LoadWords();
  // Makes the tool bar as high as its buttons.
  void FitToolBar();
  // Fits the list's scroll extent to its entries in its present font.
  void FitExtent();
  // Fits it unless it was fitted for the present font and entries.
  void FitExtentIfStale();

  TMainForm& main_;
  // The list's font when the extent was fitted; null while it waits for a fit.
  HFONT fittedFont_ = nullptr;
};

// Creates the word list window after the main window, as the program's start
// does: hidden, unless its settings ask for it at start-up.
std::unique_ptr<TNoteForm> StartNoteWindow(TMainForm& main);
