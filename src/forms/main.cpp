#include "forms/main.h"

#include <shellapi.h>
#include <shlobj.h>

#include "common/fileops.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "core/handoff.h"
#include "core/names.h"
#include "common/wide.h"

using tk::TAlign;

namespace {

const char16_t kPeriodLabel[] = u"\u3000\uFF0E\u3000";
const char16_t kRenameFailed[] =
    u"変更できませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。";

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

// Keeps a list box's redraw off for one batch, also when an add throws.
class UpdateGuard {
public:
  explicit UpdateGuard(tk::TListBox& list) : list_(list) { list_.BeginUpdate(); }
  ~UpdateGuard() { list_.EndUpdate(); }
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;

private:
  tk::TListBox& list_;
};

} // namespace

TMainForm::TMainForm()
    : TForm(nullptr, u"MainForm", u"TMainForm"), PanelEdit(this, u"PanelEdit"),
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
      N3(this, u"N3", u"-"), PPDate1(this, u"PPDate1"), PPDate2(this, u"PPDate2"),
      PPDate3(this, u"PPDate3"), PPDate4(this, u"PPDate4"), PPDate5(this, u"PPDate5"),
      PPDate6(this, u"PPDate6"), N4(this, u"N4", u"-"), PPNote(this, u"PPNote", u"単語帳"),
      queueList_(ListBox), queue_(queueList_, Pelvane::FoldPathCase) {
  SetText(u"TAVU");
  ClientWidth = 984;
  ClientHeight = 169;
  BuildLayout();
  BuildMenus();
  ActiveControl = &EditName;
  DefaultButton = &BtnOK;
  CancelButton = &BtnCancel;
  OnCreate = [this] { FormCreate(); };

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
  PPNote.OnClick = [this] { PPNoteClick(); };
  ListBox.OnRecreated = [this] { queue_.Rebuild(); };

  DropDst.OnFileDrop = [this](tk::TComponent*, std::vector<std::u16string>& files, int, int) {
    DropDstFileDrop(files);
  };
}

TMainForm::~TMainForm() {
  NotifyDestroying();
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
                     &PPCaretXch, &PPUndo})
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
  PPMostTopClick();

  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
    tk::TFont font = Font();
    font.name = ToU16(ncm.lfMenuFont.lfFaceName);
    int height = ncm.lfMenuFont.lfHeight < 0 ? -ncm.lfMenuFont.lfHeight : ncm.lfMenuFont.lfHeight;
    if (height > 0)
      font.size = MulDiv(height, 72, Dpi());
    SetFont(font);
  }

  for (const auto& arg : Arguments)
    AddPath(arg);
  LoadCurrentItem();

  MShortCut = {0, 0x6025, 0x6027, 0x404E, 0x6026, 0x6028, 0x6024};
}

LRESULT TMainForm::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    WMCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    return 0;
  }
  return TForm::DefaultHandler(msg, wp, lp);
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
  // The word list window does not exist yet; nothing to show.
}

void TMainForm::EditNameEnter() {
  MEdit = &EditName;
}
void TMainForm::EditExtEnter() {
  MEdit = &EditExt;
}

// ---- the name and extension fields

void TMainForm::LoadCurrentItem() {
  std::u16string p = EditPath.Text();
  tavu::ItemKind kind = KindOf(p);
  auto loaded = tavu::LoadedFieldsFor(kind, p);
  bool file = kind == tavu::ItemKind::File;
  EditName.SetText(loaded.name);
  EditExt.SetText(loaded.ext);
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
  if (RenameItem(oldPath, newPath)) {
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
    tk::Application().ShowMessageBox(kRenameFailed, u"TAVU", MB_OK | MB_ICONERROR);
  }
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
    if (GetFileAttributesW(AsWide(candidate)) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
      temp = candidate;
  }
  if (temp.empty() || !MoveFileExW(AsWide(oldPath), AsWide(temp), 0))
    return false;
  if (MoveFileExW(AsWide(temp), AsWide(newPath), 0))
    return true;
  MoveFileExW(AsWide(temp), AsWide(oldPath), 0);
  return false;
}
} // namespace

bool TMainForm::RenameItem(const std::u16string& oldPath, const std::u16string& newPath) {
  // OK on an unchanged name commits the item as it is (to move or copy it).
  if (newPath == oldPath)
    return true;
  auto item = Pelvane::IdentityOf(oldPath);
  auto taken = Pelvane::IdentityOf(newPath);
  bool sameItem = item && taken && *item == *taken;
  // The new name belongs to another item: the shell would give ours some
  // other name, and the log and a following move would name the wrong item.
  if (taken && !sameItem)
    return false;
  if (ShellRename(Handle(), oldPath, newPath))
    return true;
  return sameItem && RenameThroughTemporary(oldPath, newPath);
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
  const std::u16string renamed = RenameCurrent();
  if (renamed.empty())
    return;
  const std::u16string destination = tavu::DestinationFor(folder, renamed);
  const bool taken = Pelvane::IsExistingFile(renamed) ? Pelvane::IsExistingFile(destination)
                                                      : Pelvane::IsExistingFolder(destination);
  auto outcome = tavu::TransferOutcome::Done;
  if (taken) {
    outcome = tavu::TransferOutcome::Stopped;
    MessageBeep(0);
  } else {
    try {
      if (Pelvane::IsExistingFile(renamed))
        (move ? Pelvane::MoveFileTo : Pelvane::CopyFileTo)(renamed, destination);
      else
        (move ? Pelvane::MoveFolderTo : Pelvane::CopyFolderTo)(renamed, destination);
    } catch (...) {
      outcome = tavu::TransferOutcome::Failed;
      MessageBeep(0);
    }
  }
  MCopyMoveDir = folder;
  WriteLog(tavu::TransferLine(renamed, destination, mode, outcome));
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
  // A log held open elsewhere loses this entry silently.
  Pelvane::SaveListIfFree(lines, path, tavu::TextEncoding::Ansi);
}

bool ShellRename(HWND owner, const std::u16string& oldPath, const std::u16string& newPath) {
  // Lists of paths, each list ended by an extra NUL.
  const std::u16string from = oldPath + std::u16string(2, u'\0');
  const std::u16string to = newPath + std::u16string(2, u'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = owner;
  op.wFunc = FO_RENAME;
  op.pFrom = AsWide(from);
  op.pTo = AsWide(to);
  op.fFlags = FOF_ALLOWUNDO | FOF_RENAMEONCOLLISION;
  op.fAnyOperationsAborted = TRUE;
  return SHFileOperationW(&op) == 0;
}

void TMainForm::DropDstFileDrop(std::vector<std::u16string>& files) {
  std::vector<std::u16string> sorted = files;
  try {
    tavu::SortForDrop(sorted, Pelvane::PathSortKey);
    UpdateGuard batch(ListBox);
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

std::unique_ptr<TMainForm> StartMainWindow(std::vector<std::u16string> arguments) {
  auto& app = tk::Application();
  app.Title = u"TAVU";
  app.Initialize();
  auto form = std::make_unique<TMainForm>();
  form->Arguments = std::move(arguments);
  app.MainForm = form.get();
  form->CreateForm();
  return form;
}
