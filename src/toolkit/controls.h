#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/component.h"
#include "common/handle.h"

namespace tk {

enum class TAlign { None, Top, Left, Right, Client };

class TForm;

// One window message on its way through a control, with the result to return.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// A bound method over a message: an object and a function, small and
// copyable, so a caller copies it before calling and a handler may replace
// the slot it came from while it runs.
class TWndMethod {
public:
  using Thunk = void (*)(void* self, TMessage& message);
  TWndMethod() = default;
  TWndMethod(void* self, Thunk thunk) : self_(self), thunk_(thunk) {}
  // Binds any object that can be called with a TMessage& (a hook, a lambda).
  template <class F>
  explicit TWndMethod(F* callable)
      : TWndMethod(callable, [](void* s, TMessage& m) { (*static_cast<F*>(s))(m); }) {}
  // Binds a member function of an object.
  template <auto Method, class T> static TWndMethod Of(T* self) {
    return {self, [](void* s, TMessage& m) { (static_cast<T*>(s)->*Method)(m); }};
  }

  explicit operator bool() const { return thunk_ != nullptr; }
  void operator()(TMessage& message) const { thunk_(self_, message); }
  bool operator==(const TWndMethod& o) const { return self_ == o.self_ && thunk_ == o.thunk_; }

private:
  void* self_ = nullptr;
  Thunk thunk_ = nullptr;
};

// A control with a native window made on demand. Every message passes
// through WindowProc, a replaceable bound method whose default is the
// control's own handling, so a hook can sit in front of it; the hook sees
// every message from the window's first one on, WM_CREATE included.
class TWinControl : public TComponent {
public:
  TWinControl(TComponent* owner, std::u16string name);
  ~TWinControl() override;

  TWndMethod WindowProc;
  // The control's own handling of a message (what WindowProc calls by default).
  void DefaultWndProc(TMessage& message);
  virtual LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

  // The native window, created (with its parents) on first use.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Destroys the native window and makes it again with the same state
  // (text, selection, items, check, enabled, visible, bounds).
  void RecreateHandle();
  // Runs after RecreateHandle has made the window anew.
  std::function<void()> OnRecreated;

  void SetParent(TWinControl* parent);
  TWinControl* Parent() const { return parent_; }
  const std::vector<TWinControl*>& Controls() const { return children_; }
  TForm* ParentForm();

  // Bounds in pixels inside the parent's client area (a form: the outer
  // frame in screen pixels).
  void SetBounds(int left, int top, int width, int height);
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.right - bounds_.left; }
  int Height() const { return bounds_.bottom - bounds_.top; }
  RECT BoundsRect() const { return bounds_; }

  TAlign Align = TAlign::None;
  int TabOrder = 0;
  bool TabStop = true;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  std::u16string Text() const;
  void SetText(const std::u16string& text);

  const std::u16string& Hint() const { return hint_; }
  void SetHint(const std::u16string& hint);
  bool ShowHint = false;

  void SetFocus();
  bool Focused() const;

  // Lays out the docked children in the client area (top, left, right, fill).
  void AlignControls();
  // Multiplies every bound of this control and its children by m / d.
  void ScaleBy(int m, int d);

  // The wrapper of a native window made by this toolkit, or null.
  static TWinControl* FromHandle(HWND hwnd);

protected:
  struct Params {
    const wchar_t* className = L"";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
  };
  virtual void CreateParams(Params& p) = 0;
  // Runs after the native window exists, to push stored state into it.
  virtual void HandleCreated() {}
  // Runs at WM_DESTROY, while the window still answers, to keep its state.
  virtual void DestroyingHandle() {}
  // Notifications reflected from the parent (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*).
  virtual void CommandNotify(WORD code, WORD id) {
    (void)code;
    (void)id;
  }
  virtual LRESULT NotifyReflect(NMHDR* hdr) {
    (void)hdr;
    return 0;
  }
  virtual HBRUSH CtlColor(HDC dc) {
    (void)dc;
    return nullptr;
  }
  // The part of the client area that docked children share.
  virtual RECT DockArea();
  virtual void CreateHandle();
  virtual void ApplyBounds();
  void DestroyHandle();
  // Handling shared by every container: reflection of child notifications.
  bool HandleContainerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // Calls WindowProc (a copy of it) for a message the window received.
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

  HWND handle_ = nullptr;
  WNDPROC classProc_ = nullptr; // the native class's own procedure
  std::u16string text_;
  RECT bounds_{0, 0, 0, 0};

private:
  static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
  void ApplyTabOrder();
  void UpdateTool();
  void SaveState();

  // The bounds the window was last made or moved to, and which window.
  RECT applied_{0, 0, 0, 0};
  HWND appliedTo_ = nullptr;
  TWinControl* parent_ = nullptr;
  std::vector<TWinControl*> children_;
  bool enabled_ = true;
  bool visible_ = true;
  std::u16string hint_;

  friend class TForm;
};

class TEdit : public TWinControl {
public:
  using TWinControl::TWinControl;
  std::function<void()> OnChange; // only when the text really changed
  std::function<void()> OnEnter;

  // The longest text the user may type or paste (0: no limit); text set by
  // the program is never cut.
  int MaxLength = 0;
  bool ReadOnly = false;
  // The background as a system colour index (COLOR_WINDOW, COLOR_BTNFACE).
  int Color() const { return color_; }
  void SetColor(int sysColor);

  // The number of code units in front of the caret: the live one while the
  // field has the focus, else the one it had when it lost the focus (the
  // thread's caret is gone by then, at least under Wine).
  int CaretIndex();
  // The live caret index, from the thread's caret position.
  int LiveCaretIndex();
  // The caret index kept at the last loss of focus.
  int SavedCaretIndex() const { return savedCaret_; }
  int SelStart() const;
  int SelLength() const;
  // Selects `length` code units from `start`; length 0 places the caret.
  void SetSel(int start, int length);

  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
  void CreateParams(Params& p) override;
  void HandleCreated() override;
  void DestroyingHandle() override;
  void CommandNotify(WORD code, WORD id) override;
  HBRUSH CtlColor(HDC dc) override;

private:
  int color_ = COLOR_WINDOW;
  std::u16string lastText_;
  int savedCaret_ = 0;
  DWORD savedSel_[2] = {0, 0};
};

// Puts `text` into the edit at its caret index (CaretIndex) and nothing else:
// the focus stays, the caret is not placed, a selection is not replaced, and
// MaxLength (a limit for typing) does not cut it.
void InsertAtCaret(TEdit& edit, const std::u16string& text);

// Registers a window class of this module unless it already is. Forms,
// panels and the hidden application window differ only in these; a class of
// windows never shown needs no cursor.
void EnsureWindowClass(const wchar_t* name, WNDPROC proc, HICON icon, HBRUSH background,
                       bool arrowCursor = true);

// The character after the single "&" of a caption, or 0 ("&&" is a plain "&").
char16_t AcceleratorOf(const std::u16string& caption);

class TButton : public TWinControl {
public:
  using TWinControl::TWinControl;
  std::function<void()> OnClick;
  bool Default = false;
  // Runs OnClick, unless the button is disabled.
  void Click();

protected:
  void CreateParams(Params& p) override;
  void CommandNotify(WORD code, WORD id) override;
};

class TCheckBox : public TWinControl {
public:
  using TWinControl::TWinControl;
  bool LeftText = false; // caption to the left of the box
  bool Checked() const;
  void SetChecked(bool checked);

protected:
  void CreateParams(Params& p) override;
  void HandleCreated() override;
  void DestroyingHandle() override;

private:
  bool checked_ = false;
};

class TComboBox : public TWinControl {
public:
  using TWinControl::TWinControl;
  void SetItems(const std::vector<std::u16string>& items);
  const std::vector<std::u16string>& Items() const { return items_; }
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool DroppedDown() const;

  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
  void CreateParams(Params& p) override;
  void HandleCreated() override;
  void DestroyingHandle() override;
  void ApplyBounds() override;

private:
  std::vector<std::u16string> items_;
  int index_ = -1;
};

class TListBox : public TWinControl {
public:
  using TWinControl::TWinControl;
  // Typing an item's first letters selects it; off, characters do nothing.
  bool IncrementalSearch = false;
  bool HorizontalScroll = false;
  // Sees every typed character first; setting it to 0 swallows it.
  std::function<void(char16_t& key)> OnKeyPress;
  std::function<void()> OnDblClick;

  int Count();
  std::u16string Item(int index);
  // Appends at the end; throws when the list cannot take another line.
  void Add(const std::u16string& text);
  // Puts the text in at the index; throws as Add does.
  void Insert(int index, const std::u16string& text);
  void Delete(int index);
  void Clear();
  int ItemIndex();
  void SetItemIndex(int index);
  void SetHorizontalExtent(int pixels);
  // Redraw stays off between the two calls, so a batch costs no repaints.
  void BeginUpdate();
  void EndUpdate();

  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
  void CreateParams(Params& p) override;
  void HandleCreated() override;
  void DestroyingHandle() override;
  void CommandNotify(WORD code, WORD id) override;

private:
  int updating_ = 0;
  int extent_ = 0;
  // Only while the window is being made anew.
  std::vector<std::u16string> savedItems_;
  int savedIndex_ = -1;
};

// Keeps a list box's redraw off for one batch, also when an add throws.
class TListUpdate {
public:
  explicit TListUpdate(TListBox& list) : list_(list) { list_.BeginUpdate(); }
  ~TListUpdate() { list_.EndUpdate(); }
  TListUpdate(const TListUpdate&) = delete;
  TListUpdate& operator=(const TListUpdate&) = delete;

private:
  TListBox& list_;
};

class TLabel : public TWinControl {
public:
  using TWinControl::TWinControl;
  bool CenterVertically = false;

protected:
  void CreateParams(Params& p) override;
};

// A container with a 1-pixel raised border.
class TPanel : public TWinControl {
public:
  TPanel(TComponent* owner, std::u16string name);
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
  void CreateParams(Params& p) override;
  RECT DockArea() override;
};

// One button of a tool bar.
class TToolButton : public TComponent {
public:
  enum Kind { Button, Check, Separator };
  TToolButton(TComponent* owner, std::u16string name, std::u16string caption = {},
              Kind kind = Button);
  std::u16string Caption;
  Kind Style;
  std::function<void()> OnClick;
  bool Down() const;
  void SetDown(bool down);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

private:
  friend class TToolBar;
  class TToolBar* bar_ = nullptr;
  int id_ = 0;
  bool down_ = false;
  bool enabled_ = true;
};

// A flat tool bar of text-only buttons, separators and check buttons.
class TToolBar : public TWinControl {
public:
  TToolBar(TComponent* owner, std::u16string name);
  ~TToolBar() override;
  // Adds a button at the end; the bar does not own it.
  void Add(TToolButton& button);
  const std::vector<TToolButton*>& Buttons() const { return buttons_; }
  // Runs the button's click as the bar would (a check button toggles first).
  void Click(TToolButton& button);
  // Clicks the enabled button whose caption marks `ch` as its accelerator
  // ("&N"), letter case aside; false when no button does.
  bool ClickAccelerator(char16_t ch);
  // The height of the bar's buttons in pixels, as they are sized for the
  // bar's font and captions.
  int ButtonHeight();

protected:
  void CreateParams(Params& p) override;
  void HandleCreated() override;
  void DestroyingHandle() override;
  void CommandNotify(WORD code, WORD id) override;

private:
  friend class TToolButton;
  void AddNative(TToolButton& button);
  std::vector<TToolButton*> buttons_;
};

} // namespace tk
