#include "components/ctlhook.h"

#include <utility>

#include "core/error.h"

namespace {

const char16_t kNoHookTarget[] = u"フック先を特定できません。";

// The control's window, made on demand; null when it cannot be made (a
// control that has no parent window).
HWND WindowOf(tk::TWinControl& control) {
  try {
    return control.Handle();
  } catch (const tavu::Exception&) {
    return nullptr;
  }
}

} // namespace

TControlHook::TControlHook(tk::TComponent* owner, std::u16string name, THookTarget target)
    : TComponent(owner, std::move(name)), FTargetType(target) {}

TControlHook::~TControlHook() {
  SetHook(false);
}

void TControlHook::SetControl(tk::TWinControl* control) {
  SetHook(false);
  tk::TWinControl* old = std::exchange(FControl, control);
  Forget(old);
  FreeNotification(FControl);
  SetHook(true);
}

void TControlHook::SetTarget(THookTarget target) {
  SetHook(false);
  FTargetType = target;
  SetHook(true);
}

void TControlHook::Loaded() {
  TComponent::Loaded();
  SetHook(false);
  SetHook(true);
}

tk::TForm* TControlHook::FindOwnerForm(tk::TComponent* component) {
  for (tk::TComponent* c = component; c; c = c->Owner()) {
    if (auto* form = dynamic_cast<tk::TForm*>(c))
      return form;
    if (auto* control = dynamic_cast<tk::TWinControl*>(c))
      return control->ParentForm();
  }
  return nullptr;
}

tk::TWinControl* TControlHook::GetHookTarget() {
  if (FTargetType == THookTarget::htForm)
    return FindOwnerForm(FControl ? static_cast<tk::TComponent*>(FControl) : this);
  return FControl;
}

void TControlHook::SetHook(bool hook) {
  if (!hook) {
    if (!FHookTarget)
      return;
    HookChanged(false);
    tk::TWinControl* old = std::exchange(FHookTarget, nullptr);
    old->WindowProc = std::exchange(FOrgHookWndProc, tk::TWndMethod());
    FHWndHookTarget = nullptr;
    Forget(old);
    return;
  }
  // Hooking twice would save the hook as the target's own handling, and
  // every message would then run in a circle.
  SetHook(false);
  tk::TWinControl* target = GetHookTarget();
  HWND handle = target ? WindowOf(*target) : nullptr;
  if (!handle) {
    if (FTargetType == THookTarget::htForm)
      throw tavu::Exception(kNoHookTarget);
    return;
  }
  FHWndHookTarget = handle;
  FHookTarget = target;
  FreeNotification(target);
  FOrgHookWndProc = target->WindowProc;
  target->WindowProc = tk::TWndMethod::Of<&TControlHook::HookWndProc>(this);
  HookChanged(true);
}

void TControlHook::HookWndProc(tk::TMessage& message) {
  if (message.Msg == WM_CREATE)
    FHWndHookTarget = kRecreating;
  else if (message.Msg == WM_DESTROY)
    TargetHandleChanged(kHandleGone);
  else if (FHWndHookTarget == kRecreating && FHookTarget && FHookTarget->HandleAllocated())
    // The first message after WM_CREATE that finds the new window in place.
    TargetHandleChanged(kHandleMade);
  TargetWndProc(message);
}

void TControlHook::TargetHandleChanged(std::uint8_t change) {
  if (change == kHandleGone)
    FHWndHookTarget = nullptr;
  else
    FHWndHookTarget =
        FHookTarget && FHookTarget->HandleAllocated() ? FHookTarget->Handle() : nullptr;
}

void TControlHook::TargetWndProc(tk::TMessage& message) {
  // A copy: the handler it leads to may unhook, which replaces the saved one.
  tk::TWndMethod own = FOrgHookWndProc;
  if (own)
    own(message);
}

void TControlHook::Notification(tk::TComponent* gone) {
  TComponent::Notification(gone);
  if (gone == FHookTarget) {
    TargetHandleChanged(kHandleGone);
    // The toolkit tells before the target's window goes, and the target
    // still exists: its last messages then reach its own handling directly,
    // and never a hook that may be gone by then.
    FHookTarget->WindowProc = std::exchange(FOrgHookWndProc, tk::TWndMethod());
    FHookTarget = nullptr;
  }
  if (gone == FControl)
    FControl = nullptr;
}

void TControlHook::Forget(tk::TComponent* component) {
  if (component && component != FControl && component != FHookTarget)
    RemoveFreeNotification(component);
}
