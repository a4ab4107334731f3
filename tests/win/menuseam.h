#pragma once
// A stand-in for the system's menu loop: the tests see what a popup menu
// shows and choose from it without a real menu opening.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/wide.h"
#include "toolkit/forms.h"

namespace wintest {

// One line of a native popup menu as the system would show it.
struct Line {
  UINT id;
  std::u16string text;
  bool separator, checked, grayed;
};

inline std::vector<Line> ReadMenu(HMENU menu) {
  std::vector<Line> out;
  int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    wchar_t buf[256] = {};
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    mi.dwTypeData = buf;
    mi.cch = 256;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mi);
    out.push_back({mi.wID, ToU16(buf), (mi.fType & MFT_SEPARATOR) != 0,
                   (mi.fState & MFS_CHECKED) != 0, (mi.fState & MFS_GRAYED) != 0});
  }
  return out;
}

// Stands in for the system's menu loop while it lives: records every menu
// that opens and answers with the command `choose` picks (0: dismissed).
class TrackSeam {
public:
  struct Call {
    int x, y;
    HWND owner;
    std::vector<Line> lines;
  };
  std::vector<Call> calls;
  std::function<UINT(const std::vector<Line>&)> choose = [](const std::vector<Line>&) {
    return 0u;
  };

  TrackSeam()
      : saved_(tk::UseMenuTracker([this](HMENU menu, int x, int y, HWND owner) {
          calls.push_back({x, y, owner, ReadMenu(menu)});
          return static_cast<int>(choose(calls.back().lines));
        })) {}
  ~TrackSeam() { tk::UseMenuTracker(saved_); }
  TrackSeam(const TrackSeam&) = delete;
  TrackSeam& operator=(const TrackSeam&) = delete;

  // Chooses the line whose text starts with `prefix`.
  void Choose(std::u16string prefix) {
    choose = [prefix](const std::vector<Line>& lines) {
      for (const auto& l : lines)
        if (!l.separator && l.text.compare(0, prefix.size(), prefix) == 0)
          return l.id;
      return 0u;
    };
  }

private:
  tk::MenuTracker saved_;
};

} // namespace wintest
