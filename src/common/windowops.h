#pragma once
#include <windows.h>

// Window operations of the word list window: the list's scroll extent, and
// handing the foreground and the focus back to the main window.
namespace Pelvane {

// Sets the list box's horizontal scroll extent to twice the width of its
// widest entry as drawn in the list's font (0 for an empty list).
void FitListBoxExtent(HWND list);

// Makes the window the foreground window, also when another thread owns the
// present one; true when it is the foreground window at the end.
bool ForceForeground(HWND wnd);

// Gives the keyboard focus to the control, also when the foreground window
// belongs to another thread.
void FocusForeignControl(HWND control);

} // namespace Pelvane
