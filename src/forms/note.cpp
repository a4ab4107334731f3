#include "forms/note.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "common/clipboard.h"
#include "common/handle.h"
#include "common/inifile.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/placement.h"
#include "common/shellops.h"
#include "common/wide.h"
#include "common/windowops.h"
#include "core/error.h"
#include "core/wordlist.h"

using tk::TAlign;
using tk::TToolButton;

namespace {

const char16_t kSection[] = u"Note";

std::u16string SettingsPath() {
  return Pelvane::DataFolder + u"K-Sorel.ini";
}

} // namespace

TNoteForm::TNoteForm(tk::TEdit& target)
    : TForm(nullptr, u"NoteForm", u"TNoteForm"), ToolBar(this, u"ToolBar"),
      TBName(this, u"TBName", u"名前欄に入力(&N)"),
      TBClip(this, u"TBClip", u"クリップボードにコピー(&C)"),
      ToolButton2(this, u"ToolButton2", {}, TToolButton::Separator),
      TBEdit(this, u"TBEdit", u"編集(&E)"), TBReload(this, u"TBReload", u"再読み込み(&R)"),
      ToolButton1(this, u"ToolButton1", {}, TToolButton::Separator),
      TBClose(this, u"TBClose", u"閉じる(&X)"), TBEnd(this, u"TBEnd", {}, TToolButton::Separator),
      TBShow(this, u"TBShow", u"起動時に表示", TToolButton::Check), ListBox(this, u"ListBox"),
      target_(target) {
  SetText(u"TAVU - 単語帳");
  ToolWindow = true;
  SystemMenu = false;
  ShowInTaskbar = false;
  ClientWidth = 742;
  ClientHeight = 373;
  BuildLayout();
  ActiveControl = &ListBox;
  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
  OnResize = [this] { FormResize(); };
  OnCloseQuery = [this] { return FormCloseQuery(); };

  TBName.OnClick = [this] { TBNameClick(); };
  TBClip.OnClick = [this] { TBClipClick(); };
  TBEdit.OnClick = [this] { TBEditClick(); };
  TBReload.OnClick = [this] { TBReloadClick(); };
  TBClose.OnClick = [this] { TBCloseClick(); };
  ListBox.OnDblClick = [this] { ListBoxDblClick(); };
  ListBox.OnKeyPress = [this](char16_t& key) { ListBoxKeyPress(key); };
}

TNoteForm::~TNoteForm() {
  NotifyDestroyingAll();
  DestroyHandle();
}

void TNoteForm::BuildLayout() {
  ToolBar.SetParent(this);
  ToolBar.Align = TAlign::Top;
  ToolBar.SetBounds(0, 0, ClientWidth, 22);
  for (auto* b : {&TBName, &TBClip, &ToolButton2, &TBEdit, &TBReload, &ToolButton1, &TBClose,
                  &TBEnd, &TBShow})
    ToolBar.Add(*b);

  ListBox.SetParent(this);
  ListBox.Align = TAlign::Client;
  ListBox.SetBounds(0, 22, ClientWidth, ClientHeight - 22);
  ListBox.HorizontalScroll = true;
  ListBox.IncrementalSearch = false;
}

void TNoteForm::FitToolBar() {
  const int height = ToolBar.ButtonHeight();
  if (height > 0 && height != ToolBar.Height()) {
    ToolBar.SetBounds(ToolBar.Left(), ToolBar.Top(), ToolBar.Width(), height);
    AlignControls();
  }
}

void TNoteForm::FormCreate() {
  // Known before anything can fail, so that the list can still be opened in
  // its editor and read again when a start-up read failed.
  MNote = Pelvane::DataFolder + u"TAVU-Note.txt";
  // The bar and the list take the window's font.
  UseMenuFont();
  FitToolBar();
  MinHeight = 250;
  MinWidth = 750;
  // A settings file or word list that cannot be read ends the creation
  // here: the error is shown and the window stays hidden, whatever
  // "Show" says.
  ReadSettings();
  Pelvane::EnsureOnScreen(Handle());
  if (Pelvane::IsExistingFile(MNote))
    LoadWords();
  else
    Pelvane::CreateEmptyFile(MNote);
  if (TBShow.Down())
    Show();
}

void TNoteForm::ReadSettings() {
  const Pelvane::IniFile ini(SettingsPath());
  // Each value is applied at once; the minimum size raises what is too small.
  SetBounds(Left(), ini.ReadInteger(kSection, u"Top", Top()), Width(), Height());
  SetBounds(ini.ReadInteger(kSection, u"Left", Left()), Top(), Width(), Height());
  SetBounds(Left(), Top(), Width(), ini.ReadInteger(kSection, u"Height", 400));
  SetBounds(Left(), Top(), ini.ReadInteger(kSection, u"Width", 750), Height());
  TBShow.SetDown(ini.ReadBool(kSection, u"Show", TBShow.Down()));
}

bool TNoteForm::FormCloseQuery() {
  SaveSettings(SettingsPath(), kSection, {u"Top", u"Left", u"Height", u"Width"},
               {{u"Show", TBShow.Down()}});
  return true;
}

void TNoteForm::FormShow() {
  if (ListBox.Count() > 0 && ListBox.ItemIndex() < 0)
    ListBox.SetItemIndex(0);
  FitExtentIfStale();
}

void TNoteForm::FormResize() {
  // The first size messages come before the list exists; a hidden window
  // fits when it is shown.
  if (!ListBox.HandleAllocated() || !IsWindowVisible(Handle()))
    return;
  // The extent depends on the entries and the font alone: measuring 10,000
  // entries again at every step of a drag (20 ms each under Wine) would only
  // make the drag stutter.
  FitExtentIfStale();
}

void TNoteForm::FitExtentIfStale() {
  if (reinterpret_cast<HFONT>(SendMessageW(ListBox.Handle(), WM_GETFONT, 0, 0)) != fittedFont_)
    FitExtent();
}

void TNoteForm::FitExtent() {
  Pelvane::FitListBoxExtent(ListBox.Handle());
  fittedFont_ = reinterpret_cast<HFONT>(SendMessageW(ListBox.Handle(), WM_GETFONT, 0, 0));
}

void TNoteForm::LoadWords() {
  // Read whole before the list is touched: a file that cannot be read
  // leaves the entries as they were.
  const std::vector<std::u16string> words =
      tavu::WordListEntries(Pelvane::ReadWholeFile(MNote), Pelvane::AnsiCodePage());
  {
    tk::TListUpdate batch(ListBox);
    ListBox.Clear();
    std::size_t units = 0;
    for (const auto& w : words)
      units += w.size() + 1;
    // Room for all of them at once instead of growing with each add.
    SendMessageW(ListBox.Handle(), LB_INITSTORAGE, words.size(),
                 static_cast<LPARAM>(std::min<std::size_t>(units * sizeof(char16_t), INT_MAX)));
    for (const auto& w : words)
      ListBox.Add(w);
  }
  // A long entry must be reachable by scrolling as soon as the list can be
  // seen, not only after the next change of the window's size. Measuring
  // every entry takes its time (10,000: 35-70 ms under Wine), so a hidden
  // window, as at most starts, leaves it to its showing.
  fittedFont_ = nullptr;
  if (IsWindowVisible(Handle()))
    FitExtent();
}

void TNoteForm::TBCloseClick() {
  Close();
}

void TNoteForm::TBEditClick() {
  if (!Pelvane::IsExistingFile(MNote))
    return;
  // No editor could be started (no program for the file's type): say so
  // rather than do nothing at all.
  if (!Pelvane::OpenInShell(Handle(), MNote))
    MessageBeep(MB_ICONERROR);
}

void TNoteForm::TBReloadClick() {
  if (Pelvane::IsExistingFile(MNote))
    LoadWords();
}

void TNoteForm::TBClipClick() {
  const int index = ListBox.ItemIndex();
  if (index < 0)
    return;
  Pelvane::CopyTextToClipboard(tk::Application().Handle(), ListBox.Item(index));
}

void TNoteForm::TBNameClick() {
  const int index = ListBox.ItemIndex();
  if (index < 0)
    return;
  // Inserted while this window has the focus: at the caret the field had
  // when the user left it.
  tk::InsertAtCaret(target_, ListBox.Item(index));
  const HWND window = GetAncestor(target_.Handle(), GA_ROOT);
  // A minimised window would take the foreground and the focus unseen.
  if (IsIconic(window))
    ShowWindow(window, SW_RESTORE);
  Pelvane::ForceForeground(window);
  Pelvane::FocusForeignControl(target_.Handle());
}

void TNoteForm::ListBoxDblClick() {
  TBNameClick();
}

void TNoteForm::ListBoxKeyPress(char16_t& key) {
  if (key == u'\r')
    TBNameClick();
  // Typed characters never reach the list: no jumping to an entry by its
  // first letter. The arrow keys type none and still move the selection.
  key = 0;
}
