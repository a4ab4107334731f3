#include "forms/main.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>

#include "common/clipboard.h"
#include "common/fileops.h"
#include "common/inifile.h"
#include "common/itemdates.h"
#include "common/journal.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/placement.h"
#include "common/undo.h"
#include "common/wide.h"
#include "core/dates.h"
#include "core/error.h"
#include "core/handoff.h"
#include "core/names.h"
#include "core/placement.h"
#include "forms/note.h"
#include "toolkit/dpi.h"
#include "toolkit/progress.h"

using tk::TAlign;

namespace {

const char16_t kPeriodLabel[] = u"\u3000\uFF0E\u3000";
const char16_t kRenameFailed[] =
    u"変更できませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。";
const char16_t kNameTooLong[] =
    u"変更できませんでした。\r\n名前がこのファイルシステムには長すぎます。";

tavu::ItemKind KindOf(const std::u16string& path) {
  if (Pelvane::IsExistingFile(path))
    return tavu::ItemKind::File;
  if (Pelvane::IsExistingFolder(path))
    return tavu::ItemKind::Folder;
  return tavu::ItemKind::Missing;
}

void Place(tk::TWinControl& c, tk::TWinControl& parent, TAlign align, int left, int top, int width,
           int height, int tabOrder) {
  c.SetParent(&parent);
  c.Align = align;
  c.SetBounds(left, top, width, height);
  c.TabOrder = tabOrder;
}

} // namespace

TMainForm::TMainForm()
    : TForm(nullptr, u"MainForm", kMainFormClass), PanelEdit(this, u"PanelEdit"),
      EditPath(this, u"EditPath"), EditName(this, u"EditName"), Labelpiriodo(this, u"Labelpiriodo"),
      EditExt(this, u"EditExt"), PanelBtn(this, u"PanelBtn"), BtnOption(this, u"BtnOption"),
      BtnNameClear(this, u"BtnNameClear"), BtnEdit(this, u"BtnEdit"),
      CHKOKClose(this, u"CHKOKClose"), ComboBox(this, u"ComboBox"), BtnOK(this, u"BtnOK"),
      BtnCancel(this, u"BtnCancel"), ListBox(this, u"ListBox"), PPMenu(this, u"PPMenu"),
      PPMostTop(this, u"PPMostTop", u"常に手前に表示"), N2(this, u"N2", u"-"),
      PPLog(this, u"PPLog", u"ログを保存"), PPEdit(this, u"PPEdit"),
      PPCaretCutBefore(this, u"PPCaretCutBefore", u"キャレット位置より前を削除(&B) Shift+Ctrl+←"),
      PPCaretCutAfter(this, u"PPCaretCutAfter", u"キャレット位置より後ろを削除(&A)  Shift+Ctrl+→"),
      PPCaretCopyBefore(this, u"PPCaretCopyBefore",
                        u"キャレット位置より前を切り取り(&D) Shift+Ctrl+↑"),
      PPCaretCopyAfter(this, u"PPCaretCopyAfter",
                       u"キャレット位置より後ろを切り取り(&C) Shift+Ctrl+↓"),
      PPCaretXch(this, u"PPCaretXch", u"キャレット位置より前と後ろを入れ替え(&X) Shift+Ctrl+Home"),
      N1(this, u"N1", u"-"), PPUndo(this, u"PPUndo", u"元の名前を入力(&Z) Ctrl+N"),
      PPUndoLast(this, u"PPUndoLast", u"直前の変更を元に戻す(&U) Shift+Ctrl+Z"),
      N3(this, u"N3", u"-"), PPDate1(this, u"PPDate1"), PPDate2(this, u"PPDate2"),
      PPDate3(this, u"PPDate3"), PPDate4(this, u"PPDate4"), PPDate5(this, u"PPDate5"),
      PPDate6(this, u"PPDate6"), N4(this, u"N4", u"-"), PPNote(this, u"PPNote", u"単語帳"),
      queueList_(ListBox), queue_(queueList_, Pelvane::FoldPathCase) {
  SetText(kProgramTitle);
  ClientWidth = 984;
  ClientHeight = 169;
  BuildLayout();
  BuildMenus();
  ActiveControl = &EditName;
  DefaultButton = &BtnOK;
  CancelButton = &BtnCancel;
  OnCreate = [this] { FormCreate(); };
  OnCloseQuery = [this] { return FormCloseQuery(); };

  BtnOption.OnClick = [this] { BtnOptionClick(); };
  BtnNameClear.OnClick = [this] { BtnNameClearClick(); };
  BtnEdit.OnClick = [this] { BtnEditClick(); };
  BtnCancel.OnClick = [this] { BtnCancelClick(); };
  BtnOK.OnClick = [this] { BtnOKClick(); };
  EditPath.OnChange = [this] { EditPathChange(); };
  EditName.OnChange = [this] { EditNameChange(); };
  EditName.OnEnter = [this] { EditNameEnter(); };
  EditExt.OnChange = [this] { EditNameChange(); };
  EditExt.OnEnter = [this] { EditExtEnter(); };
  PPMostTop.OnClick = [this] { PPMostTopClick(); };
  PPUndo.OnClick = [this] { PPUndoClick(); };
  PPUndoLast.OnClick = [this] { PPUndoLastClick(); };
  PPNote.OnClick = [this] { PPNoteClick(); };

  PPEdit.OnPopup = [this] { PPEditPopup(); };
  PPCaretCutBefore.OnClick = [this] { PPCaretCutBeforeClick(); };
  PPCaretCutAfter.OnClick = [this] { PPCaretCutAfterClick(); };
  PPCaretCopyBefore.OnClick = [this] { PPCaretCopyBeforeClick(); };
  PPCaretCopyAfter.OnClick = [this] { PPCaretCopyAfterClick(); };
  PPCaretXch.OnClick = [this] { PPCaretXchClick(); };
  for (auto* item : {&PPDate1, &PPDate2, &PPDate3, &PPDate4, &PPDate5, &PPDate6})
    item->OnClick = [this, item] { PPDateClick(*item); };
  ListBox.OnRecreated = [this] { queue_.Rebuild(); };

  DropDst.OnFileDrop = [this](tk::TComponent*, std::vector<std::u16string>& files, int, int) {
    DropDstFileDrop(files);
  };
}

TMainForm::~TMainForm() {
  NotifyDestroyingAll();
  // The window goes first, while the controls its last messages reach still exist.
  DestroyHandle();
}

void TMainForm::BuildLayout() {
  Place(PanelEdit, *this, TAlign::Top, 0, 0, 984, 78, 1);
  Place(EditPath, PanelEdit, TAlign::Top, 1, 1, 982, 21, 0);
  EditPath.ReadOnly = true;
  EditPath.TabStop = false;
  EditPath.SetColor(COLOR_BTNFACE);
  Place(EditName, PanelEdit, TAlign::Top, 1, 22, 982, 21, 1);
  EditName.MaxLength = 256;
  EditName.ShowHint = true;
  Place(Labelpiriodo, PanelEdit, TAlign::Top, 1, 43, 982, 13, 0);
  Labelpiriodo.SetText(kPeriodLabel);
  Labelpiriodo.CenterVertically = true;
  Place(EditExt, PanelEdit, TAlign::Client, 1, 56, 982, 21, 2);
  EditExt.MaxLength = 256;

  Place(PanelBtn, *this, TAlign::Top, 0, 78, 984, 30, 0);
  struct Button {
    tk::TButton& button;
    int left, width, tabOrder;
    TAlign align;
    const char16_t* caption;
    const char16_t* hint;
  };
  const Button buttons[] = {
      {BtnOption, 1, 120, 2, TAlign::Left, u"設定(&S)", u"設定メニュー"},
      {BtnNameClear, 121, 120, 3, TAlign::Left, u"名前を消去(&C)", u"名前をクリア"},
      {BtnEdit, 241, 120, 4, TAlign::Left, u"編集(&E)", u"編集メニュー"},
      {BtnOK, 683, 150, 0, TAlign::Right, u"OK[ENTER]",
       u"右クリックで名前を変更後に移動またはコピー"},
      {BtnCancel, 833, 150, 1, TAlign::Right, u"キャンセル[ESC]", u"次のフォルダ／ファイルの処理"},
  };
  for (const auto& b : buttons) {
    Place(b.button, PanelBtn, b.align, b.left, 1, b.width, 28, b.tabOrder);
    b.button.SetText(b.caption);
    b.button.SetHint(b.hint);
    b.button.ShowHint = true;
  }
  BtnNameClear.SetEnabled(false);
  BtnOK.SetEnabled(false);
  BtnOK.Default = true;

  Place(CHKOKClose, PanelBtn, TAlign::Right, 463, 1, 100, 28, 5);
  CHKOKClose.SetText(u"OKで終了");
  CHKOKClose.SetHint(u"リストのすべての処理が完了すると終了");
  CHKOKClose.ShowHint = true;
  CHKOKClose.LeftText = true;
  CHKOKClose.SetChecked(true);
  Place(ComboBox, PanelBtn, TAlign::Right, 563, 1, 120, 21, 6);
  ComboBox.SetItems({u"そのまま", u"移動", u"コピー"});
  ComboBox.SetItemIndex(0);
  ComboBox.SetHint(u"名前を変更後に移動またはコピー");
  ComboBox.ShowHint = true;

  Place(ListBox, *this, TAlign::Client, 0, 108, 984, 61, 2);
  ListBox.SetEnabled(false);
}

void TMainForm::BuildMenus() {
  PPMenu.Items = {&PPMostTop, &N2, &PPLog};
  PPMostTop.AutoCheck = true;
  PPLog.AutoCheck = true;

  PPEdit.AutoHotkeys = false;
  PPEdit.Items = {&PPCaretCutBefore,
                  &PPCaretCutAfter,
                  &PPCaretCopyBefore,
                  &PPCaretCopyAfter,
                  &PPCaretXch,
                  &N1,
                  &PPUndo,
                  &PPUndoLast,
                  &N3,
                  &PPDate1,
                  &PPDate2,
                  &PPDate3,
                  &PPDate4,
                  &PPDate5,
                  &PPDate6,
                  &N4,
                  &PPNote};
  for (auto* item : {&PPCaretCutBefore, &PPCaretCutAfter, &PPCaretCopyBefore, &PPCaretCopyAfter,
                     &PPCaretXch, &PPUndo, &PPUndoLast})
    item->Enabled = false;
}

void TMainForm::FormCreate() {
  for (int i = 1; i <= 6; ++i) {
    auto* item = dynamic_cast<tk::TMenuItem*>(
        FindComponent(u"PPDate" + std::u16string(1, static_cast<char16_t>(u'0' + i))));
    MPPDate[static_cast<std::size_t>(i)] = item;
    if (item)
      item->Tag = i;
  }
  // An unreadable settings file is shown and leaves the defaults; the paths
  // the program was started with must still be queued and loaded.
  try {
    ReadSettings();
  } catch (const tavu::Exception&) {
    tk::Application().HandleException();
  }
  Pelvane::EnsureOnScreen(Handle());
  PPMostTopClick();

  UseMenuFont();
  // The menu font can make the queue's rows taller than the size just read allows for.
  const SIZE least = MinimumSize();
  if (Width() < least.cx || Height() < least.cy)
    SetBounds(Left(), Top(), std::max<int>(Width(), least.cx), std::max<int>(Height(), least.cy));

  for (const auto& arg : Arguments)
    AddPath(arg);
  LoadCurrentItem();

  for (std::size_t slot = 1; slot <= tavu::kMainShortCuts.size(); ++slot)
    MShortCut[slot] = tavu::kMainShortCuts[slot - 1];
}

LRESULT TMainForm::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (MTransfer && (msg == WM_CLOSE || msg == WM_QUERYENDSESSION)) {
    // The move or copy stops first, taking back what it made; the commit
    // then logs it and closes the window.
    MTransfer->Cancel();
    MCloseAfterTransfer = true;
    if (msg == WM_CLOSE)
      return 0;
    // The session may end as soon as this returns: let the leftovers go first.
    for (int i = 0; i < 500 && !MTransfer->ended; ++i)
      Sleep(10);
    return TRUE;
  }
  if (msg == WM_COPYDATA) {
    WMCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    return 0;
  }
  if (msg == WM_GETMINMAXINFO) {
    const LRESULT result = TForm::DefaultHandler(msg, wp, lp);
    const SIZE least = MinimumSize();
    auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
    mm->ptMinTrackSize.x = std::max(mm->ptMinTrackSize.x, least.cx);
    mm->ptMinTrackSize.y = std::max(mm->ptMinTrackSize.y, least.cy);
    return result;
  }
  return TForm::DefaultHandler(msg, wp, lp);
}

// ---- settings and placement

namespace {
const char16_t kWindowSection[] = u"Window";

std::u16string SettingsPath() {
  return Pelvane::DataFolder + u"TAVU.ini";
}
} // namespace

void TMainForm::ReadSettings() {
  const Pelvane::IniFile ini(SettingsPath());
  // A stored size too small to use (0, negative, a few pixels) would come
  // back at every close: it grows to the least that shows every control.
  const SIZE least = MinimumSize();
  SetBounds(Left(), Top(),
            std::max<int>(ini.ReadInteger(kWindowSection, u"Width", Width()), least.cx), Height());
  SetBounds(Left(), Top(), Width(),
            std::max<int>(ini.ReadInteger(kWindowSection, u"Height", Height()), least.cy));
  SetBounds(Left(), ini.ReadInteger(kWindowSection, u"Top", Top()), Width(), Height());
  SetBounds(ini.ReadInteger(kWindowSection, u"Left", Left()), Top(), Width(), Height());
  PPMostTop.Checked = ini.ReadBool(kWindowSection, u"MostTop", PPMostTop.Checked);
  CHKOKClose.SetChecked(ini.ReadBool(kWindowSection, u"OKClose", CHKOKClose.Checked()));
  PPLog.Checked = ini.ReadBool(kWindowSection, u"Log", PPLog.Checked);
}

bool TMainForm::FormCloseQuery() {
  // The word list window goes first, visible or not: its close writes "K-Sorel.ini".
  if (NoteForm)
    NoteForm->Close();
  try {
    Pelvane::IniFile ini(SettingsPath());
    // A minimised window stands at -32000: its restored frame is the one to keep.
    const RECT r = RestoredBounds();
    ini.WriteInteger(kWindowSection, u"Width", r.right - r.left);
    ini.WriteInteger(kWindowSection, u"Height", r.bottom - r.top);
    ini.WriteInteger(kWindowSection, u"Top", r.top);
    ini.WriteInteger(kWindowSection, u"Left", r.left);
    ini.WriteBool(kWindowSection, u"MostTop", PPMostTop.Checked);
    ini.WriteBool(kWindowSection, u"OKClose", CHKOKClose.Checked());
    ini.WriteBool(kWindowSection, u"Log", PPLog.Checked);
    ini.UpdateFile();
  } catch (const tavu::Exception&) {
    // Keeping the window open would keep it open for as long as the file
    // stays unwritable: show the error and close all the same.
    tk::Application().HandleException();
  }
  return true;
}

SIZE TMainForm::MinimumSize() {
  if (!HandleAllocated() || !ListBox.HandleAllocated())
    return {0, 0};
  // The row's controls are docked to its two ends: the window can give up
  // the space between them and no more.
  int leftEnd = 0, rightStart = PanelBtn.Width();
  for (const auto* c : PanelBtn.Controls()) {
    if (c->Align == TAlign::Left)
      leftEnd = std::max(leftEnd, c->Left() + c->Width());
    else if (c->Align == TAlign::Right)
      rightStart = std::min(rightStart, c->Left());
  }
  const HWND list = ListBox.Handle();
  const auto itemHeight = static_cast<LONG>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  RECT row{0, 0, 0, std::max<LONG>(itemHeight, 0)};
  tk::AdjustWindowRectForDpi(row, static_cast<DWORD>(GetWindowLongW(list, GWL_STYLE)),
                             static_cast<DWORD>(GetWindowLongW(list, GWL_EXSTYLE)), Dpi());
  RECT r{0, 0, PanelBtn.Width() - (rightStart - leftEnd),
         PanelEdit.Height() + PanelBtn.Height() + (row.bottom - row.top)};
  tk::AdjustWindowRectForDpi(r, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)),
                             static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)), Dpi());
  return {r.right - r.left, r.bottom - r.top};
}

void TMainForm::WMExitSizeMove() {
  // The list fills whatever the panels leave, so a window that was only
  // moved keeps its height; one squeezed below the panels grows back to them.
  SetClientHeight(
      tavu::ClientHeightForRows({PanelEdit.Height(), PanelBtn.Height(), ListBox.Height()}));
}

// ---- menus and buttons of the window

void TMainForm::BtnOptionClick() {
  POINT pt{};
  GetCursorPos(&pt);
  PPMenu.Popup(pt.x, pt.y, Handle());
}

POINT TMainForm::EditMenuPoint() {
  RECT r{};
  GetWindowRect(Handle(), &r);
  return {r.left + (BtnEdit.Left() + BtnEdit.Width()) / 2,
          r.top + (PanelBtn.Top() + BtnEdit.Height()) / 2};
}

void TMainForm::BtnEditClick() {
  POINT pt = EditMenuPoint();
  PPEdit.Popup(pt.x, pt.y, Handle());
}

void TMainForm::PPMostTopClick() {
  Pelvane::SetTopMost(Handle(), PPMostTop.Checked);
}

void TMainForm::PPNoteClick() {
  if (NoteForm)
    NoteForm->BringToFront();
}

void TMainForm::EditNameEnter() {
  MEdit = &EditName;
}
void TMainForm::EditExtEnter() {
  MEdit = &EditExt;
}

// ---- editing aids: caret commands, shortcuts and date entries

void TMainForm::UpdateEditMenu() {
  std::optional<tavu::EditFieldView> field;
  std::u16string text, loaded;
  if (MEdit) {
    const std::u16string p = EditPath.Text();
    const tavu::LoadedFields fields = tavu::LoadedFieldsFor(KindOf(p), p);
    loaded = MEdit == &EditExt ? fields.ext : fields.name;
    text = MEdit->Text();
    const int caret = MEdit->CaretIndex();
    field = tavu::EditFieldView{text, static_cast<std::size_t>(caret < 0 ? 0 : caret), loaded};
  }
  // The journal is read afresh: another window may have taken back or added
  // an entry since. One that cannot be read offers nothing to take back.
  bool journalEntry = false;
  try {
    journalEntry = !Pelvane::ReadJournal().empty();
  } catch (const tavu::Exception&) {
  }
  const tavu::EditMenuState state = tavu::EditMenuFor(field, journalEntry);
  PPCaretCutBefore.Enabled = state.cutBefore;
  PPCaretCutAfter.Enabled = state.cutAfter;
  PPCaretCopyBefore.Enabled = state.copyBefore;
  PPCaretCopyAfter.Enabled = state.copyAfter;
  PPCaretXch.Enabled = state.xch;
  PPUndo.Enabled = state.undo;
  PPUndoLast.Enabled = state.undoLast;
}

bool TMainForm::IsShortCut(const MSG& msg) {
  const std::uint16_t code =
      tavu::ShortCutCode(static_cast<std::uint32_t>(msg.wParam) & 0xFFFF, GetKeyState(VK_SHIFT) < 0,
                         GetKeyState(VK_CONTROL) < 0,
                         (static_cast<std::uint32_t>(msg.lParam) & tavu::kKeyDataAlt) != 0);
  tavu::ShortCutTable table{};
  for (std::size_t slot = 1; slot <= table.size(); ++slot)
    table[slot - 1] = MShortCut[slot];
  const int slot = tavu::MatchShortCut(code, table);
  if (slot == 0)
    return TForm::IsShortCut(msg);
  // Only a shortcut needs the items' states, which ask the file system: not
  // every key typed into a field (the menu updates itself when it opens).
  UpdateEditMenu();
  // A matched key is consumed also when its item is disabled, so that the
  // field never sees it (Shift+Ctrl+Left would select a word).
  struct Command {
    tk::TMenuItem& item;
    void (TMainForm::*run)();
  };
  const Command commands[] = {
      {PPCaretCutBefore, &TMainForm::PPCaretCutBeforeClick},
      {PPCaretCutAfter, &TMainForm::PPCaretCutAfterClick},
      {PPUndo, &TMainForm::PPUndoClick},
      {PPCaretCopyBefore, &TMainForm::PPCaretCopyBeforeClick},
      {PPCaretCopyAfter, &TMainForm::PPCaretCopyAfterClick},
      {PPCaretXch, &TMainForm::PPCaretXchClick},
      {PPUndoLast, &TMainForm::PPUndoLastClick},
  };
  const Command& command = commands[slot - 1];
  if (command.item.Enabled)
    (this->*command.run)();
  return true;
}

void TMainForm::RunCaretCommand(tavu::CaretCommand command) {
  if (!MEdit)
    return;
  tk::TEdit& edit = *MEdit;
  const int caret = edit.CaretIndex();
  const tavu::CaretEdit result = tavu::ApplyCaretCommand(
      command, edit.Text(), static_cast<std::size_t>(caret < 0 ? 0 : caret));
  if (!result.applies)
    return;
  const bool cut =
      command == tavu::CaretCommand::CopyBefore || command == tavu::CaretCommand::CopyAfter;
  // A cut whose text the clipboard did not take would lose it: keep the field as it is.
  if (cut && !Pelvane::CopyTextToClipboard(tk::Application().Handle(), result.clip)) {
    MessageBeep(0);
    return;
  }
  edit.SetText(result.text);
  edit.SetFocus();
  edit.SetSel(static_cast<int>(result.caret), 0);
}

void TMainForm::PPCaretCutBeforeClick() {
  RunCaretCommand(tavu::CaretCommand::CutBefore);
}
void TMainForm::PPCaretCutAfterClick() {
  RunCaretCommand(tavu::CaretCommand::CutAfter);
}
void TMainForm::PPCaretCopyBeforeClick() {
  RunCaretCommand(tavu::CaretCommand::CopyBefore);
}
void TMainForm::PPCaretCopyAfterClick() {
  RunCaretCommand(tavu::CaretCommand::CopyAfter);
}
void TMainForm::PPCaretXchClick() {
  RunCaretCommand(tavu::CaretCommand::Xch);
}

void TMainForm::PPEditPopup() {
  UpdateEditMenu();
  const std::u16string p = EditPath.Text();
  const bool file = Pelvane::IsExistingFile(p);
  const bool folder = !file && Pelvane::IsExistingFolder(p);
  // A refused path throws out of here, so the menu does not open.
  const tavu::DateMenu dates = tavu::DateMenuFor(file || folder, [&](tavu::DateSource source) {
    return source == tavu::DateSource::Today ? Pelvane::Today()
                                             : Pelvane::ItemDate(p, folder, source);
  });
  for (std::size_t i = 1; i <= 6; ++i) {
    if (tk::TMenuItem* item = MPPDate[i]) {
      item->Caption = dates.captions[i - 1];
      item->Visible = dates.visible;
    }
  }
}

void TMainForm::PPDateClick(tk::TMenuItem& sender) {
  if (sender.Tag < 1 || sender.Tag > 6)
    return;
  if (tk::TMenuItem* item = MPPDate[static_cast<std::size_t>(sender.Tag)])
    tk::InsertAtCaret(EditName, item->Caption);
}

// ---- the name and extension fields

void TMainForm::LoadCurrentItem() {
  std::u16string p = EditPath.Text();
  tavu::ItemKind kind = KindOf(p);
  auto loaded = tavu::LoadedFieldsFor(kind, p);
  bool file = kind == tavu::ItemKind::File;
  // The rule runs once, below, for both loaded texts: not once per change
  // event on the way, each asking the file system again.
  loadingFields_ = true;
  EditName.SetText(loaded.name);
  EditExt.SetText(loaded.ext);
  loadingFields_ = false;
  EditExt.SetColor(file ? COLOR_WINDOW : COLOR_BTNFACE);
  EditExt.SetEnabled(file);
  Labelpiriodo.SetEnabled(file);
  Labelpiriodo.SetText(file ? kPeriodLabel : u"");
  // The change events run only for texts that changed; OK must follow the
  // rule for the loaded texts also when they equal the previous ones.
  EditNameChange();
  FindFileManagerWindow();
}

void TMainForm::EditPathChange() {
  if (KindOf(EditPath.Text()) == tavu::ItemKind::Missing)
    BtnOK.SetEnabled(false);
}

void TMainForm::EditNameChange() {
  if (loadingFields_)
    return;
  auto state = tavu::EvaluateFields(KindOf(EditPath.Text()), EditName.Text(), EditExt.Text());
  BtnOK.SetEnabled(state.okEnabled);
  if (!state.decided)
    return;
  BtnNameClear.SetEnabled(state.clearEnabled);
  EditName.SetHint(state.nameHint);
}

void TMainForm::BtnNameClearClick() {
  EditName.SetText(u"");
  EditName.SetFocus();
}

void TMainForm::PPUndoClick() {
  LoadCurrentItem();
}

void TMainForm::FindFileManagerWindow() {
  HWND w = Pelvane::NextVisibleWindow(tk::Application().Handle());
  std::u16string cls;
  if (w) {
    wchar_t buf[261] = {};
    int n = GetClassNameW(w, buf, 261);
    cls = ToU16(buf, static_cast<std::size_t>(n > 0 ? n : 0));
    if (cls == u"Shell_TrayWnd" && !MTaskbarOnTop())
      MExp = Pelvane::NextVisibleWindow(w);
  }
  if (cls == u"CabinetWClass" || cls == u"ExploreWClass")
    MExp = w;
}

// ---- the work queue

void TMainForm::AddPath(const std::u16string& path) {
  bool wasEmpty = queue_.Empty();
  queue_.Add(path);
  // Item 0 is new only when the queue was empty; otherwise EditPath already
  // shows it (or a commit is about to show it), so a drop of thousands of
  // paths need not read it back each time.
  if (wasEmpty) {
    ListBox.SetItemIndex(0);
    EditPath.SetText(ListBox.Item(0));
  }
}

void TMainForm::RemoveCurrentItem() {
  queue_.RemoveHead();
  if (queue_.Count() > 0)
    ListBox.SetItemIndex(0);
}

void TMainForm::ShowHead() {
  EditPath.SetText(u"");
  EditPath.SetText(ListBox.Item(0));
  LoadCurrentItem();
}

void TMainForm::ShowQueueHead() {
  if (queue_.Count() > 0) {
    ShowHead();
  } else if (CHKOKClose.Checked()) {
    Close();
  } else {
    EditPath.SetText(u"");
    LoadCurrentItem();
  }
}

void TMainForm::BtnCancelClick() {
  RemoveCurrentItem();
  if (queue_.Count() > 0)
    ShowHead();
  else
    Close();
}

// ---- the commit

void TMainForm::BtnOKClick() {
  // A click that reaches the disabled window during a move or copy (one
  // posted by another program) would start a second commit inside the first.
  if (MTransfer)
    return;
  switch (ComboBox.ItemIndex()) {
  case 0:
    RenameCurrent();
    break;
  case 1:
    RenameAndMove();
    break;
  case 2:
    RenameAndCopy();
    break;
  default:
    break;
  }
}

std::u16string TMainForm::RenameCurrent() {
  const std::u16string oldPath = EditPath.Text();
  const std::u16string newPath =
      tavu::NewPathFor(Pelvane::IsExistingFile(oldPath), oldPath, EditName.Text(), EditExt.Text());
  std::u16string result;
  // Wine cuts a name that a Linux file system cannot hold to what fits, and
  // reports success.
  if (newPath != oldPath && Pelvane::RunsUnderWine() &&
      !tavu::FitsLinuxFileName(tavu::FileNamePart(newPath))) {
    tk::Application().ShowMessageBox(kNameTooLong, kProgramTitle, MB_OK | MB_ICONERROR);
  } else if (RenameItem(oldPath, newPath)) {
    JournalStep(tavu::StepKind::Rename, oldPath, newPath);
    result = newPath;
    // The item has its new name whatever happens to the log: a log error is
    // shown, and the commit still finishes, so the queue never keeps a path
    // that is gone.
    try {
      WriteLog(tavu::RenameLine(oldPath, newPath));
    } catch (...) {
      tk::Application().HandleException();
    }
    RemoveCurrentItem();
    PostRefresh();
  } else {
    tk::Application().ShowMessageBox(kRenameFailed, kProgramTitle, MB_OK | MB_ICONERROR);
  }
  if (!MHeadAfterTransfer)
    ShowQueueHead();
  return result;
}

namespace {
// Renames through a fresh name in the same folder and then to the new one,
// for a change of letter case that a plain rename keeps as it was; the
// first step is undone when the second fails.
bool RenameThroughTemporary(const std::u16string& oldPath, const std::u16string& newPath) {
  std::u16string temp;
  for (unsigned n = 0; n < 1000 && temp.empty(); ++n) {
    std::u16string candidate = Pelvane::FolderPart(oldPath) + u"~tavu" +
                               ToU16(std::to_wstring(GetCurrentProcessId() + n).c_str()) + u".tmp";
    if (GetFileAttributesW(AsWide(Pelvane::LongPathForm(candidate))) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
      temp = candidate;
  }
  if (temp.empty() || !Pelvane::LongPathRename(oldPath, temp))
    return false;
  if (Pelvane::LongPathRename(temp, newPath))
    return true;
  Pelvane::LongPathRename(temp, oldPath);
  return false;
}

// The shell's rename takes paths shorter than MAX_PATH characters; Wine's
// overruns its buffers on longer ones and takes the process down.
bool ShellCanTake(const std::u16string& path) {
  return path.size() < MAX_PATH;
}
} // namespace

bool TMainForm::RenameItem(const std::u16string& oldPath, const std::u16string& newPath) {
  // OK on an unchanged name commits the item as it is (to move or copy it).
  // A name the system reads as the same one is unchanged too: renaming
  // README to "README." would only go through a temporary name and back.
  if (tavu::LeavesNameUnchanged(oldPath, newPath))
    return true;
  auto item = Pelvane::IdentityOf(oldPath);
  auto taken = Pelvane::IdentityOf(newPath);
  bool sameItem = item && taken && *item == *taken;
  // The new name belongs to another item: the shell would give ours some
  // other name, and the log and a following move would name the wrong item.
  if (taken && !sameItem)
    return false;
  bool renamed;
  if (ShellCanTake(oldPath) && ShellCanTake(newPath))
    renamed = MShellRename(Handle(), oldPath, newPath) ||
              (sameItem && RenameThroughTemporary(oldPath, newPath));
  else
    renamed = sameItem ? RenameThroughTemporary(oldPath, newPath)
                       : Pelvane::LongPathRename(oldPath, newPath);
  // A rename reported as done may still have given the item another name
  // (Wine cuts what a Linux file system cannot hold): only the new path on
  // disk says it was done.
  return renamed && (Pelvane::FileExistsOnDisk(newPath) || Pelvane::FolderExistsOnDisk(newPath));
}

void TMainForm::PostRefresh() {
  // Only a program started from the file manager (with a path) asks it to refresh.
  if (!MExp || Arguments.empty() || Arguments.front().empty())
    return;
  PostMessageW(MExp, WM_KEYDOWN, VK_F5, 0);
  PostMessageW(MExp, WM_KEYUP, VK_F5, 0);
}

void TMainForm::RenameAndMove() {
  RenameAndTransfer(tavu::TransferMode::Move);
}

void TMainForm::RenameAndCopy() {
  RenameAndTransfer(tavu::TransferMode::Copy);
}

void TMainForm::RenameAndTransfer(tavu::TransferMode mode) {
  const bool move = mode == tavu::TransferMode::Move;
  std::u16string folder = MCopyMoveDir;
  if (!PickFolder(move ? u"移動先フォルダの選択" : u"コピー先フォルダの選択", folder))
    return;
  // The next item comes up once the move or copy is over.
  MHeadAfterTransfer = true;
  const std::u16string renamed = RenameCurrent();
  MHeadAfterTransfer = false;
  if (renamed.empty()) {
    ShowQueueHead();
    return;
  }
  const std::u16string destination = tavu::DestinationFor(folder, renamed);
  const bool taken = Pelvane::IsExistingFile(renamed) ? Pelvane::IsExistingFile(destination)
                                                      : Pelvane::IsExistingFolder(destination);
  auto outcome = tavu::TransferOutcome::Done;
  if (taken) {
    outcome = tavu::TransferOutcome::Stopped;
    MessageBeep(0);
  } else {
    const bool file = Pelvane::IsExistingFile(renamed);
    Pelvane::Transfer transfer;
    MTransfer = &transfer;
    outcome = tk::RunTransfer(
        Handle(), move ? u"TAVU - 移動" : u"TAVU - コピー", Pelvane::FileNamePart(renamed),
        transfer, [&] {
          if (file)
            (move ? Pelvane::MoveFileTo : Pelvane::CopyFileTo)(renamed, destination, &transfer);
          else
            (move ? Pelvane::MoveFolderTo : Pelvane::CopyFolderTo)(renamed, destination, &transfer);
        });
    MTransfer = nullptr;
    if (outcome != tavu::TransferOutcome::Done)
      MessageBeep(0);
  }
  if (outcome == tavu::TransferOutcome::Done)
    JournalStep(move ? tavu::StepKind::Move : tavu::StepKind::Copy, renamed, destination);
  MCopyMoveDir = folder;
  const auto next = [this] {
    ShowQueueHead();
    // A close asked for during the transfer, unless the emptied queue closed the window already.
    if (std::exchange(MCloseAfterTransfer, false) && IsWindowVisible(Handle()))
      Close();
  };
  try {
    WriteLog(tavu::TransferLine(renamed, destination, mode, outcome));
  } catch (...) {
    next();
    throw;
  }
  next();
}

namespace {
struct BrowseState {
  HWND main;
  const std::u16string* folder;
};

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg != BFFM_INITIALIZED)
    return 0;
  return tk::Guarded(0, [&] {
    const auto* state = reinterpret_cast<const BrowseState*>(data);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    RECT r{};
    if (GetMonitorInfoW(MonitorFromWindow(state->main, MONITOR_DEFAULTTONEAREST), &mi) &&
        GetWindowRect(dialog, &r)) {
      const RECT& m = mi.rcMonitor;
      int x = m.left + ((m.right - m.left) - (r.right - r.left)) / 2;
      int y = m.top + ((m.bottom - m.top) - (r.bottom - r.top)) / 2;
      SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    if (!state->folder->empty())
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                   reinterpret_cast<LPARAM>(AsWide(*state->folder)));
    return 0;
  });
}
} // namespace

bool TMainForm::PickFolder(const std::u16string& caption, std::u16string& folder) {
  if (!Pelvane::FolderExistsOnDisk(folder))
    folder.clear();
  BrowseState state{Handle(), &folder};
  BROWSEINFOW bi{};
  bi.hwndOwner = tk::Application().Handle();
  bi.lpszTitle = AsWide(caption);
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  bi.lpfn = BrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(&state);
  // The new dialog style needs OLE on this thread.
  HRESULT ole = OleInitialize(nullptr);
  PIDLIST_ABSOLUTE chosen;
  {
    tk::TModalScope modal;
    Pelvane::ErrorModeScope silent(SEM_FAILCRITICALERRORS);
    chosen = SHBrowseForFolderW(&bi);
  }
  bool ok = false;
  if (chosen) {
    wchar_t path[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
      folder = ToU16(path);
      ok = true;
    }
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(ole))
    OleUninitialize();
  return ok;
}

// ---- the operation log

void TMainForm::WriteLog(const std::u16string& text) {
  if (!PPLog.Checked)
    return;
  const std::u16string path = Pelvane::DataFolder + u"TAVU.log";
  std::vector<std::u16string> lines;
  Pelvane::LoadList(lines, path, tavu::TextEncoding::Ansi);
  tavu::InsertLogLine(lines, tavu::LogLine(Pelvane::LogTimeStamp(), text));
  // A reader that does not let go within the wait makes this throw: the
  // entry is never lost without a word.
  Pelvane::SaveListIfFree(lines, path, tavu::TextEncoding::Ansi);
}

void TMainForm::DropDstFileDrop(std::vector<std::u16string>& files) {
  std::vector<std::u16string> sorted = files;
  try {
    tavu::SortForDrop(sorted, Pelvane::PathSortKey);
    tk::TListUpdate batch(ListBox);
    for (const auto& path : sorted)
      AddPath(path);
  } catch (...) {
    files.clear();
    throw;
  }
  files.clear();
  LoadCurrentItem();
}

void TMainForm::WMCopyData(const COPYDATASTRUCT* data) {
  if (!data)
    return;
  auto path = tavu::ParseHandOff(data->lpData, data->cbData);
  if (!path)
    return;
  bool wasEmpty = queue_.Empty();
  AddPath(*path);
  // A hand-off into a non-empty queue must not touch what the user is typing.
  if (wasEmpty)
    LoadCurrentItem();
}

// ---- the undo journal

void TMainForm::JournalStep(tavu::StepKind kind, const std::u16string& from,
                            const std::u16string& to) {
  // A rename starts the OK's entry; a name that stayed is no step of it.
  if (kind == tavu::StepKind::Rename)
    MJournalEntry.reset();
  if (kind == tavu::StepKind::Rename && tavu::LeavesNameUnchanged(from, to))
    return;
  try {
    if (auto step = Pelvane::DoneStep(kind, from, to))
      MJournalEntry = Pelvane::RecordInJournal(MJournalEntry, std::move(*step));
  } catch (const tavu::Exception&) {
    tk::Application().HandleException();
  }
}

void TMainForm::PPUndoLastClick() {
  const Pelvane::UndoOutcome undone = Pelvane::TakeBackNewest(Handle());
  if (!undone.entry) {
    tk::Application().ShowMessageBox(tavu::NothingToUndoText(), kProgramTitle,
                                     MB_OK | MB_ICONWARNING);
    return;
  }
  if (!undone.done.empty()) {
    // What was taken back stays so; the journal and the log follow it as
    // far as they can, each failure shown on its own.
    try {
      Pelvane::ReplaceInJournal(*undone.entry, undone.left);
    } catch (const tavu::Exception&) {
      tk::Application().HandleException();
    }
    try {
      for (const auto& step : undone.done)
        WriteLog(tavu::UndoLogText(step));
    } catch (const tavu::Exception&) {
      tk::Application().HandleException();
    }
    PostRefresh();
  }
  if (undone.refusal != tavu::UndoRefusal::None) {
    tk::Application().ShowMessageBox(
        tavu::RefusalText(undone.refusal, undone.left.steps.back(), undone.done), kProgramTitle,
        MB_OK | MB_ICONWARNING);
    return;
  }
  // The item is back as it was before its OK: current again, so that the
  // right name can be typed at once.
  queue_.PutFirst(undone.entry->steps.front().from);
  ListBox.SetItemIndex(0);
  ShowHead();
  EditName.SetFocus();
}

std::unique_ptr<TMainForm> StartMainWindow(std::vector<std::u16string> arguments) {
  auto& app = tk::Application();
  app.Title = kProgramTitle;
  app.Initialize();
  auto form = std::make_unique<TMainForm>();
  form->Arguments = std::move(arguments);
  app.MainForm = form.get();
  form->CreateForm();
  return form;
}
