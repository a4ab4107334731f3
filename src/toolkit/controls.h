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

// A control with a native window made on demand. Every message passes
// through WindowProc, a replaceable bound method whose default is the
// control's own handling, so a hook can sit in front of it.
class TWinControl : public TComponent {
public:
  TWinControl(TComponent* owner, std::u16string name);
  ~TWinControl() override;

  using WndProcFn = std::function<LRESULT(UINT, WPARAM, LPARAM)>;
  WndProcFn WindowProc;
  // The control's own handling of a message (what WindowProc calls by default).
  virtual LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

  // The native window, created (with its parents) on first use.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }

  void SetParent(TWinControl* parent);
  TWinControl* Parent() const { return parent_; }
  const std::vector<TWinControl*>& Controls() const { return children_; }
  TForm* ParentForm();

  // Bounds in pixels inside the parent's client area.
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
  virtual void DestroyingHandle() {}
  // Notifications reflected from the parent (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*).
  virtual void CommandNotify(WORD code) { (void)code; }
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

  HWND handle_ = nullptr;
  WNDPROC classProc_ = nullptr; // the native class's own procedure
  std::u16string text_;

private:
  static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
  void ApplyTabOrder();
  void UpdateTool();

  TWinControl* parent_ = nullptr;
  std::vector<TWinControl*> children_;
  RECT bounds_{0, 0, 0, 0};
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

protected:
  void CreateParams(Params& p) override;
  void HandleCreated() override;
  void CommandNotify(WORD code) override;
  HBRUSH CtlColor(HDC dc) override;

private:
  int color_ = COLOR_WINDOW;
  std::u16string lastText_;
};

class TButton : public TWinControl {
public:
  using TWinControl::TWinControl;
  std::function<void()> OnClick;
  bool Default = false;
  // Runs OnClick, unless the button is disabled.
  void Click();

protected:
  void CreateParams(Params& p) override;
  void CommandNotify(WORD code) override;
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
  TListBox(TComponent* owner, std::u16string name);
  bool IncrementalSearch = false;
  bool HorizontalScroll = false;

  int Count();
  std::u16string Item(int index);
  // Appends at the end; throws when the list cannot take another line.
  void Add(const std::u16string& text);
  void Delete(int index);
  void Clear();
  int ItemIndex();
  void SetItemIndex(int index);
  void SetHorizontalExtent(int pixels);
  // Redraw stays off between the two calls, so a batch costs no repaints.
  void BeginUpdate();
  void EndUpdate();

protected:
  void CreateParams(Params& p) override;

private:
  int updating_ = 0;
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

} // namespace tk
