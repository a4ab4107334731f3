// The main window: its layout and wiring, settings and placement, the work
// queue and the name and extension fields; the commit and the editing aids
// have files of their own.
#include "forms/main.h"

#include <algorithm>
#include <optional>

#include "common/fileops.h"
#include "common/inifile.h"
#include "common/pelvane.h"
#include "common/placement.h"
#include "common/wide.h"
#include "core/error.h"
#include "core/handoff.h"
#include "core/names.h"
#include "core/placement.h"
#include "forms/note.h"
#include "toolkit/dpi.h"

using tk::TAlign;

namespace {

const char16_t kPeriodLabel[] = u"\u3000\uFF0E\u3000";

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
  // The word list window inserts into the name field: it goes first.
  noteForm_.reset();
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

  MShortCut = tavu::kMainShortCuts;
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
  if (noteForm_)
    noteForm_->Close();
  SaveSettings(SettingsPath(), kWindowSection, {u"Width", u"Height", u"Top", u"Left"},
               {{u"MostTop", PPMostTop.Checked},
                {u"OKClose", CHKOKClose.Checked()},
                {u"Log", PPLog.Checked}});
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
  if (noteForm_)
    noteForm_->BringToFront();
}

// ---- the name and extension fields

void TMainForm::LoadCurrentItem() {
  std::u16string p = EditPath.Text();
  tavu::ItemKind kind = Pelvane::KindOf(p);
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
  if (Pelvane::KindOf(EditPath.Text()) == tavu::ItemKind::Missing)
    BtnOK.SetEnabled(false);
}

void TMainForm::EditNameChange() {
  if (loadingFields_)
    return;
  auto state =
      tavu::EvaluateFields(Pelvane::KindOf(EditPath.Text()), EditName.Text(), EditExt.Text());
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

void TMainForm::FindFileManagerWindow() {
  HWND w = Pelvane::NextVisibleWindow(tk::Application().Handle());
  std::u16string cls;
  if (w) {
    wchar_t buf[261] = {};
    int n = GetClassNameW(w, buf, 261);
    cls = ToU16(buf, static_cast<std::size_t>(n > 0 ? n : 0));
    if (cls == u"Shell_TrayWnd" && !Pelvane::IsTaskbarAlwaysOnTop())
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
    EditPath.SetText(queue_.Head());
  }
}

void TMainForm::RemoveCurrentItem() {
  queue_.RemoveHead();
  if (queue_.Count() > 0)
    ListBox.SetItemIndex(0);
}

void TMainForm::ShowHead() {
  EditPath.SetText(u"");
  EditPath.SetText(queue_.Head());
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

TNoteForm& TMainForm::StartNoteWindow() {
  noteForm_ = std::make_unique<TNoteForm>(EditName);
  noteForm_->CreateForm();
  return *noteForm_;
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
