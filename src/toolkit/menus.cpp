#include "toolkit/menus.h"

#include <set>

#include "common/handle.h"
#include "toolkit/forms.h"
#include "common/wide.h"

namespace tk {

TMenuItem::TMenuItem(TComponent* owner, std::u16string name, std::u16string caption)
    : TComponent(owner, std::move(name)), Caption(std::move(caption)) {}

void TMenuItem::Click() {
  if (!Enabled)
    return;
  if (AutoCheck)
    Checked = !Checked;
  if (OnClick)
    OnClick();
}

namespace {

char16_t Upper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}
bool IsHotkeyChar(char16_t c) {
  c = Upper(c);
  return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// The accelerator character of a caption in upper case, or 0.
char16_t HotkeyOf(const std::u16string& caption) {
  return Upper(AcceleratorOf(caption));
}

std::u16string WithHotkey(const std::u16string& caption, std::set<char16_t>& used) {
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (IsHotkeyChar(caption[i]) && !used.count(Upper(caption[i]))) {
      used.insert(Upper(caption[i]));
      return caption.substr(0, i) + u"&" + caption.substr(i);
    }
  }
  // Captions without a usable Latin letter get one in brackets, as Japanese menus do.
  for (char16_t c = u'A'; c <= u'Z'; ++c) {
    if (!used.count(c)) {
      used.insert(c);
      return caption + u"(&" + std::u16string(1, c) + u")";
    }
  }
  return caption;
}

} // namespace

std::vector<TPopupMenu::Shown> TPopupMenu::Prepare() const {
  std::vector<TMenuItem*> visible;
  for (auto* it : Items)
    if (it->Visible)
      visible.push_back(it);

  std::set<char16_t> used;
  if (AutoHotkeys)
    for (auto* it : visible)
      if (char16_t h = HotkeyOf(it->Caption))
        used.insert(h);

  std::vector<Shown> out;
  for (std::size_t i = 0; i < visible.size(); ++i) {
    TMenuItem* it = visible[i];
    if (it->IsSeparator()) {
      // No separator first, last, or right after another one.
      bool afterItem = !out.empty() && !out.back().item->IsSeparator();
      bool beforeItem = false;
      for (std::size_t j = i + 1; j < visible.size() && !beforeItem; ++j)
        beforeItem = !visible[j]->IsSeparator();
      if (afterItem && beforeItem)
        out.push_back({it, it->Caption});
      continue;
    }
    std::u16string caption = it->Caption;
    if (AutoHotkeys && !caption.empty() && HotkeyOf(caption) == 0)
      caption = WithHotkey(caption, used);
    out.push_back({it, caption});
  }
  return out;
}

void TPopupMenu::Popup(int x, int y, HWND owner) {
  if (OnPopup)
    OnPopup();
  auto shown = Prepare();
  ScopedMenu menu(CreatePopupMenu());
  if (!menu)
    return;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto& s = shown[i];
    if (s.item->IsSeparator()) {
      AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (s.item->Checked ? MF_CHECKED : 0) | (s.item->Enabled ? 0 : MF_GRAYED);
    AppendMenuW(menu.Get(), flags, i + 1, AsWide(s.caption));
  }
  int chosen = Application().TrackMenu(menu.Get(), x, y, owner);
  if (chosen >= 1 && static_cast<std::size_t>(chosen) <= shown.size())
    shown[static_cast<std::size_t>(chosen) - 1].item->Click();
}

} // namespace tk
