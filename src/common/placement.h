#pragma once
#include <windows.h>

#include "core/placement.h"

// Window placement on the real screen: windows lying off every monitor are
// brought back to the middle of the primary screen.
namespace Pelvane {

using tavu::TaskbarEdge;

// Moves the window to the middle of the primary screen when it lies off
// every monitor; a maximised or minimised window stays where it is.
void EnsureOnScreen(HWND wnd);

// The window's outer frame; false when it cannot be read or the window is
// minimised (the frame then stands at -32000, -32000).
bool GetWindowBounds(HWND wnd, int& left, int& top, int& width, int& height);

// True when none of the frame's probe points lies on a monitor.
bool IsOffScreen(int left, int top, int width, int height);

// Position code that centres a window on the primary screen.
constexpr int kCentreOnScreen = 10;

// Moves the window, keeping its size, to the place the position code names;
// does nothing for a minimised window or another code.
void MoveWindowTo(HWND wnd, int position);

// The taskbar's edge and rectangle; None, with `taskbar` left as it was,
// when the system does not answer.
TaskbarEdge GetTaskbarEdge(RECT& taskbar);

} // namespace Pelvane
