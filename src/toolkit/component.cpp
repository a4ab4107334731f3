#include "toolkit/component.h"

#include <algorithm>

namespace tk {

namespace {
void Erase(std::vector<TComponent*>& v, TComponent* c) {
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
}
} // namespace

TComponent::TComponent(TComponent* owner, std::u16string name)
    : owner_(owner), name_(std::move(name)) {
  if (owner_)
    owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
  NotifyDestroying();
  for (auto* s : subscriptions_)
    Erase(s->subscribers_, this);
  for (auto* c : owned_)
    c->owner_ = nullptr;
  if (owner_)
    Erase(owner_->owned_, this);
}

TComponent* TComponent::FindComponent(const std::u16string& name) const {
  for (auto* c : owned_)
    if (!name.empty() && c->name_ == name)
      return c;
  return nullptr;
}

void TComponent::NotifyDestroying() {
  // A subscriber may unsubscribe others (or itself) from its notification.
  while (!subscribers_.empty()) {
    TComponent* s = subscribers_.back();
    subscribers_.pop_back();
    Erase(s->subscriptions_, this);
    s->Notification(this);
  }
}

void TComponent::NotifyDestroyingAll() {
  for (auto* c : owned_)
    c->NotifyDestroying();
  NotifyDestroying();
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (!other)
    return;
  Erase(other->subscribers_, this);
  Erase(subscriptions_, other);
}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this)
    return;
  if (std::find(other->subscribers_.begin(), other->subscribers_.end(), this) !=
      other->subscribers_.end())
    return;
  other->subscribers_.push_back(this);
  subscriptions_.push_back(other);
}

} // namespace tk
