#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/component.h"

namespace tk {

class TMenuItem : public TComponent {
public:
  TMenuItem(TComponent* owner, std::u16string name, std::u16string caption = {});

  std::u16string Caption; // "-" makes a separator
  bool Checked = false;
  bool AutoCheck = false; // choosing the item toggles its check mark first
  bool Enabled = true;
  bool Visible = true;
  int Tag = 0;
  std::function<void()> OnClick;

  bool IsSeparator() const { return Caption == u"-"; }
  // What choosing the item does: toggle when AutoCheck, then OnClick.
  void Click();
};

class TPopupMenu : public TComponent {
public:
  using TComponent::TComponent;

  std::vector<TMenuItem*> Items;
  // Give captions without an accelerator one when the menu opens.
  bool AutoHotkeys = true;
  std::function<void()> OnPopup;

  // One line of the menu as it would be shown now.
  struct Shown {
    TMenuItem* item;
    std::u16string caption;
  };
  // Brings accelerators and separators up to date and lists what is shown.
  std::vector<Shown> Prepare() const;
  // Opens the menu with its top-left corner at the screen point and runs the
  // chosen item: the opening handler first, then Prepare, then the menu
  // (through the application's menu tracker).
  void Popup(int x, int y, HWND owner);
};

} // namespace tk
