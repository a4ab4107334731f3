#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "toolkit/component.h"
#include "toolkit/controls.h"
#include "toolkit/forms.h"

// Which window a control hook serves.
enum class THookTarget : std::uint8_t {
  htControl = 0, // the control given in Control
  htForm = 1,    // the form of Control, or of the hook itself when Control is empty
};

// Puts itself in front of a windowed control's (or its form's) WindowProc
// and keeps track of the target's native window while that window is
// destroyed and made anew.
class TControlHook : public tk::TComponent {
public:
  // `target` is the setting the owner's layout gives; it takes effect at
  // Loaded, so building the layout makes no window.
  TControlHook(tk::TComponent* owner, std::u16string name,
               THookTarget target = THookTarget::htControl);
  ~TControlHook() override;

  tk::TWinControl* Control() const { return FControl; }
  // Unhooks, stores the control, then hooks for the new setting.
  void SetControl(tk::TWinControl* control);
  THookTarget Target() const { return FTargetType; }
  // Unhooks, stores the kind of target, then hooks for the new setting.
  void SetTarget(THookTarget target);

  // Hooks anew for the settings the owner's layout made.
  void Loaded() override;

  // The form of a component: a form itself, a control's outermost parent when
  // that is a form (else null), otherwise the same asked of its owner.
  static tk::TForm* FindOwnerForm(tk::TComponent* component);
  // The control to hook under the current settings, or null.
  tk::TWinControl* GetHookTarget();
  // Installs (true) or removes (false) the hook; installing throws for
  // htForm when there is no form with a window to hook.
  void SetHook(bool hook);
  // What the hook puts into the target's WindowProc: tracks the target's
  // window, then hands the message to TargetWndProc.
  void HookWndProc(tk::TMessage& message);

  // FHWndHookTarget while the target's window is being made anew.
  static inline const HWND kRecreating = reinterpret_cast<HWND>(static_cast<INT_PTR>(-1));
  // Change codes of TargetHandleChanged.
  static constexpr std::uint8_t kHandleGone = 1;
  static constexpr std::uint8_t kHandleMade = 2;

protected:
  // The target's window (or the target itself) is gone (kHandleGone), or its
  // window has been made anew (any other code): records the window now known.
  virtual void TargetHandleChanged(std::uint8_t change);
  // Sees every message of the hooked target; passes it on to the target's own handling.
  virtual void TargetWndProc(tk::TMessage& message);
  // Runs right after a hook is installed (true), and right before it is
  // removed while the target's window is still known (false).
  virtual void HookChanged(bool installed) { (void)installed; }
  void Notification(tk::TComponent* gone) override;

  THookTarget FTargetType;
  tk::TWinControl* FControl = nullptr;
  tk::TWinControl* FHookTarget = nullptr;
  HWND FHWndHookTarget = nullptr;
  tk::TWndMethod FOrgHookWndProc;

private:
  // Stops watching a component that is no longer referred to.
  void Forget(tk::TComponent* component);
};
