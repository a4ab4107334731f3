#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/controls.h"
#include "toolkit/forms.h"

// The word list window: the lines of "TAVU-Note.txt" in the data folder, to
// be inserted into a field of another window or copied to the clipboard.
// The file is kept by the user's editor; the window opens it there and reads
// it again on request. Closing only hides the window.
class TNoteForm : public tk::TForm {
public:
  // Makes the window (hidden); an entry chosen goes into `target` at its
  // caret, and `target` must outlive the window.
  explicit TNoteForm(tk::TEdit& target);
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

  // The word list file's full path.
  std::u16string MNote;
  tk::TEdit& target_;
  // The list's font when the extent was fitted; null while it waits for a fit.
  HFONT fittedFont_ = nullptr;
};
