#pragma once
#include <string>
#include <vector>

namespace tk {

// A named part of a form. The owner does not delete what it owns (owned
// components are members of their form); it only finds them by name.
class TComponent {
public:
  TComponent(TComponent* owner, std::u16string name);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::u16string& Name() const { return name_; }
  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return owned_; }
  // The owned component of that name, or null.
  TComponent* FindComponent(const std::u16string& name) const;
  // Asks to be told (Notification) when `other` goes away.
  void FreeNotification(TComponent* other);
  // Takes back a FreeNotification request.
  void RemoveFreeNotification(TComponent* other);
  // Called once on every component of a form when its layout is built,
  // before the form's creation handler.
  virtual void Loaded() {}

protected:
  // Called on each subscriber when a component it asked about is destroyed.
  virtual void Notification(TComponent* gone) { (void)gone; }
  // Tells the subscribers that this component goes away. Derived destructors
  // call it first, so subscribers still see the whole object; the base
  // destructor calls it again, which then does nothing.
  void NotifyDestroying();
  // The same for every owned component and then for this one: a form's
  // destructor calls it first, while its member controls are still whole.
  void NotifyDestroyingAll();

private:
  TComponent* owner_;
  std::u16string name_;
  std::vector<TComponent*> owned_;
  std::vector<TComponent*> subscribers_;
  std::vector<TComponent*> subscriptions_;
};

} // namespace tk
