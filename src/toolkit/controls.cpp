#include "toolkit/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <deque>
#include <utility>

#include "core/caret.h"
#include "core/error.h"
#include "toolkit/dpi.h"
#include "toolkit/forms.h"
#include "common/wide.h"

namespace tk {

namespace {
int Scale(int v, int m, int d) {
  return MulDiv(v, m, d);
}

// Each native control class gets a superclass of its own whose procedure is
// ours, so the wrapper sees the window's first message (and a hook its
// WM_CREATE). Subclassing after creation would miss them, and
// SetWindowSubclass costs ~130 us a message under Wine.
struct Superclass {
  std::wstring base;
  std::wstring name;
  WNDPROC baseProc;
  ATOM atom;
};
std::deque<Superclass>& Superclasses() {
  static std::deque<Superclass> v;
  return v;
}

const Superclass* SuperclassOf(const wchar_t* base, WNDPROC proc) {
  for (const auto& s : Superclasses())
    if (s.base == base)
      return &s;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(nullptr, base, &wc) && !GetClassInfoExW(instance, base, &wc))
    return nullptr;
  Superclass s{base, std::wstring(L"TAVU.") + base, wc.lpfnWndProc, 0};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = s.name.c_str();
  wc.style &= ~CS_GLOBALCLASS;
  s.atom = RegisterClassExW(&wc);
  if (!s.atom)
    return nullptr;
  Superclasses().push_back(std::move(s));
  return &Superclasses().back();
}

WNDPROC BaseProcOf(HWND hwnd) {
  ATOM atom = static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM));
  for (const auto& s : Superclasses())
    if (s.atom == atom)
      return s.baseProc;
  return DefWindowProcW;
}

// The control whose window CreateWindowExW is making; its first message takes it.
TWinControl* creating = nullptr;
// Set while RecreateHandle destroys windows that it makes anew: only then is
// their state worth keeping (a list box's 50,000 paths at a close are not).
bool recreating = false;
} // namespace

TWinControl::TWinControl(TComponent* owner, std::u16string name)
    : TComponent(owner, std::move(name)) {
  WindowProc = TWndMethod::Of<&TWinControl::DefaultWndProc>(this);
}

TWinControl::~TWinControl() {
  NotifyDestroying();
  if (handle_) {
    // Detached first: the window's last messages must not reach a wrapper
    // whose derived parts are already gone.
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    HWND h = std::exchange(handle_, nullptr);
    DestroyWindow(h);
  }
  for (auto* c : children_)
    c->parent_ = nullptr;
  if (parent_) {
    auto& v = parent_->children_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

void TWinControl::DestroyHandle() {
  if (handle_)
    DestroyWindow(handle_); // WM_NCDESTROY clears handle_
  handle_ = nullptr;
}

void TWinControl::RecreateHandle() {
  if (!handle_)
    return;
  HWND focus = GetFocus();
  TWinControl* focused = FromHandle(focus);
  bool inside = focus && (focus == handle_ || IsChild(handle_, focus));
  const bool outer = !std::exchange(recreating, true);
  DestroyHandle();
  if (outer)
    recreating = false;
  Handle();
  if (inside && focused && focused->HandleAllocated())
    ::SetFocus(focused->handle_);
  std::function<void(TWinControl*)> notify = [&](TWinControl* c) {
    if (c->OnRecreated)
      c->OnRecreated();
    for (auto* child : c->children_)
      notify(child);
  };
  notify(this);
}

void TWinControl::SaveState() {
  text_ = Text();
  DestroyingHandle();
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd)
    return nullptr;
  if (auto* form = TForm::FormFromHandle(hwnd))
    return form;
  // Nothing else subclasses our controls, so the window procedure tells ours
  // apart; a window property would cost a server call per lookup under Wine.
  if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&ControlProc))
    return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent_) {
    auto& v = parent_->children_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  parent_ = parent;
  if (parent_)
    parent_->children_.push_back(this);
}

TForm* TWinControl::ParentForm() {
  TWinControl* c = this;
  while (c->parent_)
    c = c->parent_;
  return dynamic_cast<TForm*>(c);
}

HWND TWinControl::Handle() {
  if (!handle_)
    CreateHandle();
  return handle_;
}

void TWinControl::CreateHandle() {
  HWND parentWnd = parent_ ? parent_->Handle() : nullptr;
  if (handle_)
    return; // the parent's creation made this one too
  Params p;
  CreateParams(p);
  if (!visible_)
    p.style &= ~WS_VISIBLE;
  if (!enabled_)
    p.style |= WS_DISABLED;
  const Superclass* super = SuperclassOf(p.className, &ControlProc);
  if (!super)
    throw tavu::Exception(u"ウィンドウを作成できません");
  classProc_ = super->baseProc;
  creating = this;
  HWND created = CreateWindowExW(p.exStyle, super->name.c_str(), AsWide(text_), p.style,
                                 bounds_.left, bounds_.top, Width(), Height(), parentWnd, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  creating = nullptr;
  if (!created)
    throw tavu::Exception(u"ウィンドウを作成できません");
  applied_ = bounds_;
  appliedTo_ = handle_;
  if (auto* form = ParentForm())
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(form->FontHandle()), FALSE);
  HandleCreated();
  for (auto* c : children_)
    c->Handle();
  ApplyTabOrder();
  AlignControls();
  UpdateTool();
}

LRESULT CALLBACK TWinControl::ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self && creating) {
    self = std::exchange(creating, nullptr);
    self->handle_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self)
    return CallWindowProcW(BaseProcOf(hwnd), hwnd, msg, wp, lp);
  if (msg == WM_DESTROY && recreating)
    self->SaveState(); // the window still answers now, not at WM_NCDESTROY
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && self->ShowHint)
    if (auto* form = self->ParentForm())
      form->RelayToolMessage(hwnd, msg, wp, lp);
  LRESULT r = self->Dispatch(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->handle_ = nullptr;
  }
  return r;
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  // A copy: the handler may unhook, which replaces WindowProc while it runs.
  TWndMethod proc = WindowProc;
  try {
    proc(m);
  } catch (...) {
    Application().HandleException();
    return 0;
  }
  return m.Result;
}

void TWinControl::DefaultWndProc(TMessage& m) {
  m.Result = DefaultHandler(m.Msg, m.WParam, m.LParam);
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  if (HandleContainerMessage(msg, wp, lp, r))
    return r;
  return CallWindowProcW(classProc_, handle_, msg, wp, lp);
}

bool TWinControl::HandleContainerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
  case WM_COMMAND:
    if (lp) {
      if (auto* c = FromHandle(reinterpret_cast<HWND>(lp))) {
        c->CommandNotify(HIWORD(wp), LOWORD(wp));
        result = 0;
        return true;
      }
    }
    return false;
  case WM_NOTIFY: {
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (auto* c = FromHandle(hdr->hwndFrom)) {
      result = c->NotifyReflect(hdr);
      return true;
    }
    return false;
  }
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORLISTBOX:
  case WM_CTLCOLORBTN:
    if (auto* c = FromHandle(reinterpret_cast<HWND>(lp))) {
      if (HBRUSH b = c->CtlColor(reinterpret_cast<HDC>(wp))) {
        result = reinterpret_cast<LRESULT>(b);
        return true;
      }
    }
    return false;
  case WM_SIZE:
    AlignControls();
    return false;
  default:
    return false;
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  bounds_ = {left, top, left + width, top + height};
  ApplyBounds();
}

void TWinControl::ApplyBounds() {
  // Every layout pass sets each docked child again, and a start lays out a
  // dozen times: under Wine a move costs about 0.3 ms even when it changes
  // nothing, so only a change reaches the window.
  if (handle_ && (appliedTo_ != handle_ || !EqualRect(&applied_, &bounds_))) {
    MoveWindow(handle_, bounds_.left, bounds_.top, Width(), Height(), TRUE);
    applied_ = bounds_;
    appliedTo_ = handle_;
  }
  AlignControls();
}

RECT TWinControl::DockArea() {
  RECT r{0, 0, Width(), Height()};
  if (handle_)
    GetClientRect(handle_, &r);
  return r;
}

void TWinControl::AlignControls() {
  if (children_.empty())
    return;
  RECT area = DockArea();
  auto docked = [&](TAlign a) {
    std::vector<TWinControl*> v;
    for (auto* c : children_)
      if (c->Align == a && c->visible_)
        v.push_back(c);
    return v;
  };
  // Tops stand in the order of their designed tops, lefts of their lefts,
  // rights from the right edge inwards; the filler takes what is left.
  auto tops = docked(TAlign::Top);
  std::stable_sort(tops.begin(), tops.end(),
                   [](auto* a, auto* b) { return a->bounds_.top < b->bounds_.top; });
  for (auto* c : tops) {
    int h = c->Height();
    c->bounds_ = {area.left, area.top, area.right, area.top + h};
    area.top += h;
  }
  auto lefts = docked(TAlign::Left);
  std::stable_sort(lefts.begin(), lefts.end(),
                   [](auto* a, auto* b) { return a->bounds_.left < b->bounds_.left; });
  for (auto* c : lefts) {
    int w = c->Width();
    c->bounds_ = {area.left, area.top, area.left + w, area.bottom};
    area.left += w;
  }
  auto rights = docked(TAlign::Right);
  std::stable_sort(rights.begin(), rights.end(),
                   [](auto* a, auto* b) { return a->bounds_.left > b->bounds_.left; });
  for (auto* c : rights) {
    int w = c->Width();
    c->bounds_ = {area.right - w, area.top, area.right, area.bottom};
    area.right -= w;
  }
  for (auto* c : docked(TAlign::Client))
    c->bounds_ = {area.left, area.top, std::max(area.left, area.right),
                  std::max(area.top, area.bottom)};
  for (auto* c : children_)
    if (c->Align != TAlign::None)
      c->ApplyBounds();
}

void TWinControl::ScaleBy(int m, int d) {
  if (m == d)
    return;
  // Position and size are scaled each on its own: scaling both edges could
  // lose a pixel of a control's size to rounding (13 at 96 dpi gave 19
  // instead of 20 at 144), and the text it was made for would not fit.
  const int left = Scale(bounds_.left, m, d), top = Scale(bounds_.top, m, d);
  bounds_ = {left, top, left + Scale(Width(), m, d), top + Scale(Height(), m, d)};
  for (auto* c : children_)
    c->ScaleBy(m, d);
  if (parent_)
    ApplyBounds();
}

void TWinControl::ApplyTabOrder() {
  // Keyboard navigation follows the Z order of siblings, so stack them by tab order.
  std::vector<TWinControl*> v = children_;
  std::stable_sort(v.begin(), v.end(), [](auto* a, auto* b) { return a->TabOrder < b->TabOrder; });
  HWND after = HWND_TOP;
  for (auto* c : v) {
    if (!c->handle_)
      continue;
    SetWindowPos(c->handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = c->handle_;
  }
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled)
    return; // the OK rule sets the same state on most keystrokes
  enabled_ = enabled;
  if (handle_)
    EnableWindow(handle_, enabled);
}

void TWinControl::SetVisible(bool visible) {
  visible_ = visible;
  if (handle_)
    ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
  if (parent_)
    parent_->AlignControls();
}

std::u16string TWinControl::Text() const {
  if (!handle_)
    return text_;
  int n = GetWindowTextLengthW(handle_);
  std::u16string s(static_cast<std::size_t>(n) + 1, u'\0');
  n = GetWindowTextW(handle_, AsWideBuffer(s), n + 1);
  s.resize(static_cast<std::size_t>(std::max(n, 0)));
  return s;
}

void TWinControl::SetText(const std::u16string& text) {
  if (Text() == text)
    return;
  text_ = text;
  if (handle_)
    SetWindowTextW(handle_, AsWide(text));
}

void TWinControl::SetHint(const std::u16string& hint) {
  if (hint_ == hint)
    return;
  hint_ = hint;
  UpdateTool();
}

void TWinControl::UpdateTool() {
  if (!handle_ || !ShowHint)
    return;
  if (auto* form = ParentForm())
    form->SetToolText(handle_, hint_);
}

void TWinControl::SetFocus() {
  if (Handle())
    ::SetFocus(handle_);
}

bool TWinControl::Focused() const {
  return handle_ && GetFocus() == handle_;
}

// ---- TEdit

void TEdit::CreateParams(Params& p) {
  p.className = WC_EDITW;
  p.style |= ES_AUTOHSCROLL | (TabStop ? WS_TABSTOP : 0) | (ReadOnly ? ES_READONLY : 0);
  p.exStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::HandleCreated() {
  if (MaxLength > 0)
    SendMessageW(handle_, EM_SETLIMITTEXT, static_cast<WPARAM>(MaxLength), 0);
  SendMessageW(handle_, EM_SETSEL, savedSel_[0], savedSel_[1]);
  lastText_ = Text();
}

void TEdit::DestroyingHandle() {
  if (Focused())
    savedCaret_ = LiveCaretIndex();
  SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&savedSel_[0]),
               reinterpret_cast<LPARAM>(&savedSel_[1]));
}

LRESULT TEdit::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  // The edit destroys the thread's caret when it loses the focus; read it first.
  if (msg == WM_KILLFOCUS)
    savedCaret_ = LiveCaretIndex();
  return TWinControl::DefaultHandler(msg, wp, lp);
}

int TEdit::LiveCaretIndex() {
  POINT pt{};
  GetCaretPos(&pt);
  LPARAM packed = MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y));
  return LOWORD(SendMessageW(Handle(), EM_CHARFROMPOS, 0, packed));
}

int TEdit::CaretIndex() {
  return Focused() ? LiveCaretIndex() : savedCaret_;
}

int TEdit::SelStart() const {
  if (!handle_)
    return static_cast<int>(savedSel_[0]);
  DWORD start = 0, end = 0;
  SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

int TEdit::SelLength() const {
  if (!handle_)
    return static_cast<int>(savedSel_[1] - savedSel_[0]);
  DWORD start = 0, end = 0;
  SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TEdit::SetSel(int start, int length) {
  savedSel_[0] = static_cast<DWORD>(start);
  savedSel_[1] = static_cast<DWORD>(start + length);
  if (handle_)
    SendMessageW(handle_, EM_SETSEL, static_cast<WPARAM>(start),
                 static_cast<LPARAM>(start + length));
}

void TEdit::CommandNotify(WORD code, WORD) {
  if (code == EN_CHANGE) {
    // The control reports every edit, also one that ends with the same text.
    auto now = Text();
    if (now == lastText_)
      return;
    lastText_ = std::move(now);
    if (OnChange)
      OnChange();
  } else if (code == EN_SETFOCUS) {
    if (OnEnter)
      OnEnter();
  }
}

void TEdit::SetColor(int sysColor) {
  color_ = sysColor;
  if (handle_)
    InvalidateRect(handle_, nullptr, TRUE);
}

HBRUSH TEdit::CtlColor(HDC dc) {
  SetBkColor(dc, GetSysColor(color_));
  SetTextColor(dc, GetSysColor(Enabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  return GetSysColorBrush(color_);
}

void InsertAtCaret(TEdit& edit, const std::u16string& text) {
  const int caret = edit.CaretIndex();
  edit.SetText(
      tavu::InsertedAtCaret(edit.Text(), static_cast<std::size_t>(caret < 0 ? 0 : caret), text));
}

// ---- TButton

void TButton::CreateParams(Params& p) {
  p.className = WC_BUTTONW;
  p.style |= (Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (TabStop ? WS_TABSTOP : 0);
}

void TButton::Click() {
  // Wine delivers BM_CLICK even to a disabled button; never act for one.
  if (!Enabled() || (handle_ && !IsWindowEnabled(handle_)))
    return;
  if (OnClick)
    OnClick();
}

void TButton::CommandNotify(WORD code, WORD) {
  if (code == BN_CLICKED)
    Click();
}

// ---- TCheckBox

void TCheckBox::CreateParams(Params& p) {
  p.className = WC_BUTTONW;
  p.style |= BS_AUTOCHECKBOX | (LeftText ? BS_LEFTTEXT : 0) | (TabStop ? WS_TABSTOP : 0);
}

void TCheckBox::HandleCreated() {
  SendMessageW(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::DestroyingHandle() {
  checked_ = Checked();
}

bool TCheckBox::Checked() const {
  if (!handle_)
    return checked_;
  return SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
  checked_ = checked;
  if (handle_)
    SendMessageW(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---- TComboBox

void TComboBox::CreateParams(Params& p) {
  p.className = WC_COMBOBOXW;
  p.style |= CBS_DROPDOWNLIST | WS_VSCROLL | (TabStop ? WS_TABSTOP : 0);
}

void TComboBox::HandleCreated() {
  for (const auto& s : items_)
    SendMessageW(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(s)));
  SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
  ApplyBounds();
}

void TComboBox::ApplyBounds() {
  // The height given to a drop-down list is that of its open list; its field
  // keeps the font's height. Docking must not pass the row's height, which
  // would leave the open list a few pixels high. The list is 200 pixels
  // high at 96 dpi, and grows with the monitor's.
  if (handle_)
    MoveWindow(handle_, Left(), Top(), Width(), MulDiv(200, WindowDpi(handle_), 96), TRUE);
}

LRESULT TComboBox::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  const LRESULT result = TWinControl::DefaultHandler(msg, wp, lp);
  // A new font changes the field's height, and the list would keep the
  // height it had beside the old field.
  if (msg == WM_SETFONT)
    ApplyBounds();
  return result;
}

void TComboBox::DestroyingHandle() {
  index_ = ItemIndex();
}

void TComboBox::SetItems(const std::vector<std::u16string>& items) {
  items_ = items;
  if (!handle_)
    return;
  SendMessageW(handle_, CB_RESETCONTENT, 0, 0);
  for (const auto& s : items_)
    SendMessageW(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(s)));
}

int TComboBox::ItemIndex() const {
  if (!handle_)
    return index_;
  return static_cast<int>(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index) {
  index_ = index;
  if (handle_)
    SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TComboBox::DroppedDown() const {
  return handle_ && SendMessageW(handle_, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

// ---- TListBox

void TListBox::CreateParams(Params& p) {
  p.className = WC_LISTBOXW;
  p.style |= LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL | LBS_NOTIFY |
             (HorizontalScroll ? WS_HSCROLL : 0) | (TabStop ? WS_TABSTOP : 0);
  p.exStyle |= WS_EX_CLIENTEDGE;
}

int TListBox::Count() {
  return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0));
}

std::u16string TListBox::Item(int index) {
  LRESULT n = SendMessageW(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == LB_ERR)
    return {};
  std::u16string s(static_cast<std::size_t>(n) + 1, u'\0');
  n = SendMessageW(handle_, LB_GETTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(AsWideBuffer(s)));
  s.resize(n == LB_ERR ? 0 : static_cast<std::size_t>(n));
  return s;
}

void TListBox::Add(const std::u16string& text) {
  LRESULT r = SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(text)));
  if (r == LB_ERR || r == LB_ERRSPACE)
    throw tavu::Exception(u"行を挿入できません");
}

void TListBox::Insert(int index, const std::u16string& text) {
  LRESULT r = SendMessageW(Handle(), LB_INSERTSTRING, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(AsWide(text)));
  if (r == LB_ERR || r == LB_ERRSPACE)
    throw tavu::Exception(u"行を挿入できません");
}

void TListBox::Delete(int index) {
  SendMessageW(Handle(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void TListBox::Clear() {
  SendMessageW(Handle(), LB_RESETCONTENT, 0, 0);
}

int TListBox::ItemIndex() {
  return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
}

void TListBox::SetItemIndex(int index) {
  SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TListBox::SetHorizontalExtent(int pixels) {
  extent_ = pixels;
  SendMessageW(Handle(), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
}

LRESULT TListBox::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CHAR) {
    char16_t key = static_cast<char16_t>(wp);
    if (OnKeyPress)
      OnKeyPress(key);
    if (key == 0 || !IncrementalSearch)
      return 0;
    wp = key;
  }
  return TWinControl::DefaultHandler(msg, wp, lp);
}

void TListBox::CommandNotify(WORD code, WORD) {
  if (code == LBN_DBLCLK && OnDblClick)
    OnDblClick();
}

void TListBox::DestroyingHandle() {
  int n = static_cast<int>(SendMessageW(handle_, LB_GETCOUNT, 0, 0));
  savedItems_.clear();
  savedItems_.reserve(static_cast<std::size_t>(std::max(n, 0)));
  for (int i = 0; i < n; ++i)
    savedItems_.push_back(Item(i));
  savedIndex_ = static_cast<int>(SendMessageW(handle_, LB_GETCURSEL, 0, 0));
  // The extent may have been set on the window directly (fitted to the items).
  extent_ = static_cast<int>(SendMessageW(handle_, LB_GETHORIZONTALEXTENT, 0, 0));
}

void TListBox::HandleCreated() {
  if (!savedItems_.empty()) {
    SendMessageW(handle_, WM_SETREDRAW, FALSE, 0);
    for (const auto& s : savedItems_)
      SendMessageW(handle_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(s)));
    if (updating_ == 0)
      SendMessageW(handle_, WM_SETREDRAW, TRUE, 0);
    savedItems_.clear();
    savedItems_.shrink_to_fit();
  }
  if (savedIndex_ >= 0)
    SendMessageW(handle_, LB_SETCURSEL, static_cast<WPARAM>(savedIndex_), 0);
  if (extent_ > 0)
    SendMessageW(handle_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent_), 0);
}

void TListBox::BeginUpdate() {
  if (updating_++ == 0)
    SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListBox::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) {
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(handle_, nullptr, TRUE);
  }
}

// ---- TLabel

void TLabel::CreateParams(Params& p) {
  p.className = WC_STATICW;
  p.style |= SS_LEFT | SS_NOPREFIX | (CenterVertically ? SS_CENTERIMAGE : 0);
  p.style &= ~WS_TABSTOP;
}

// ---- TPanel

namespace {
const wchar_t kPanelClass[] = L"TPanelBase";

} // namespace

void EnsureWindowClass(const wchar_t* name, WNDPROC proc, HICON icon, HBRUSH background,
                       bool arrowCursor) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc))
    return;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = icon;
  wc.hCursor = arrowCursor ? LoadCursorW(nullptr, IDC_ARROW) : nullptr;
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

TPanel::TPanel(TComponent* owner, std::u16string name) : TWinControl(owner, std::move(name)) {
  TabStop = false;
}

void TPanel::CreateParams(Params& p) {
  EnsureWindowClass(kPanelClass, DefWindowProcW, nullptr,
                    reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  p.className = kPanelClass;
  p.style |= WS_CLIPCHILDREN;
  p.exStyle |= WS_EX_CONTROLPARENT;
}

RECT TPanel::DockArea() {
  RECT r = TWinControl::DockArea();
  InflateRect(&r, -1, -1);
  return r;
}

LRESULT TPanel::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(handle_, &ps);
    RECT r;
    GetClientRect(handle_, &r);
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    EndPaint(handle_, &ps);
    return 0;
  }
  return TWinControl::DefaultHandler(msg, wp, lp);
}

// ---- TToolBar

TToolButton::TToolButton(TComponent* owner, std::u16string name, std::u16string caption, Kind kind)
    : TComponent(owner, std::move(name)), Caption(std::move(caption)), Style(kind) {}

bool TToolButton::Down() const {
  if (bar_ && bar_->handle_)
    return SendMessageW(bar_->handle_, TB_ISBUTTONCHECKED, static_cast<WPARAM>(id_), 0) != 0;
  return down_;
}

void TToolButton::SetDown(bool down) {
  down_ = down;
  if (bar_ && bar_->handle_)
    SendMessageW(bar_->handle_, TB_CHECKBUTTON, static_cast<WPARAM>(id_), MAKELPARAM(down, 0));
}

void TToolButton::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (bar_ && bar_->handle_)
    SendMessageW(bar_->handle_, TB_ENABLEBUTTON, static_cast<WPARAM>(id_), MAKELPARAM(enabled, 0));
}

TToolBar::TToolBar(TComponent* owner, std::u16string name) : TWinControl(owner, std::move(name)) {
  TabStop = false;
}

TToolBar::~TToolBar() {
  for (auto* b : buttons_)
    b->bar_ = nullptr;
}

void TToolBar::CreateParams(Params& p) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  p.className = TOOLBARCLASSNAMEW;
  // The bar is laid out by its parent like any control, never by itself.
  p.style |= TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
}

void TToolBar::HandleCreated() {
  SendMessageW(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(handle_, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
  for (auto* b : buttons_)
    AddNative(*b);
}

void TToolBar::DestroyingHandle() {
  for (auto* b : buttons_)
    b->down_ = b->Down();
}

void TToolBar::Add(TToolButton& button) {
  button.bar_ = this;
  button.id_ = static_cast<int>(buttons_.size()) + 1;
  buttons_.push_back(&button);
  if (handle_)
    AddNative(button);
}

void TToolBar::AddNative(TToolButton& b) {
  TBBUTTON tb{};
  tb.iBitmap = I_IMAGENONE;
  tb.idCommand = b.id_;
  tb.fsState =
      static_cast<BYTE>((b.enabled_ ? TBSTATE_ENABLED : 0) | (b.down_ ? TBSTATE_CHECKED : 0));
  switch (b.Style) {
  case TToolButton::Separator:
    tb.fsStyle = BTNS_SEP;
    break;
  case TToolButton::Check:
    tb.fsStyle = BTNS_CHECK | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    break;
  default:
    tb.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    break;
  }
  tb.iString = b.Style == TToolButton::Separator ? 0 : reinterpret_cast<INT_PTR>(AsWide(b.Caption));
  SendMessageW(handle_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
}

void TToolBar::Click(TToolButton& button) {
  if (!button.Enabled() || button.Style == TToolButton::Separator)
    return;
  if (button.Style == TToolButton::Check)
    button.SetDown(!button.Down());
  if (button.OnClick)
    button.OnClick();
}

char16_t AcceleratorOf(const std::u16string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&')
      continue;
    if (caption[i + 1] != u'&')
      return caption[i + 1];
    ++i;
  }
  return 0;
}

namespace {
char16_t UpperOf(char16_t ch) {
  return static_cast<char16_t>(
      reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(ch)))));
}
} // namespace

bool TToolBar::ClickAccelerator(char16_t ch) {
  if (ch == 0)
    return false;
  for (auto* b : buttons_) {
    if (b->Style == TToolButton::Separator || !b->Enabled())
      continue;
    const char16_t key = AcceleratorOf(b->Caption);
    if (key != 0 && UpperOf(key) == UpperOf(ch)) {
      Click(*b);
      return true;
    }
  }
  return false;
}

int TToolBar::ButtonHeight() {
  return HIWORD(SendMessageW(Handle(), TB_GETBUTTONSIZE, 0, 0));
}

void TToolBar::CommandNotify(WORD, WORD id) {
  // The bar has toggled a check button itself before it reports the click.
  if (id < 1 || id > buttons_.size())
    return;
  TToolButton* b = buttons_[id - 1];
  b->down_ = b->Down();
  if (b->Enabled() && b->OnClick)
    b->OnClick();
}

} // namespace tk
