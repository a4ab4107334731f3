#pragma once
// Helper modes of the test programs: a test starts its own program again
// with a mode's arguments to get a second process that does one thing.

// Runs the helper mode the arguments ask for and gives its exit code; -1
// when they ask for none.
int RunTestHelper(int argc, wchar_t** argv);

// The argument that starts the clipboard holder: it opens the clipboard with a
// window of its own, signals the event named by the next argument, and keeps
// the clipboard until the event named after that is signalled or the number
// of milliseconds after that has passed.
inline constexpr const wchar_t* kHoldClipboardMode = L"--tavu-hold-clipboard";

// The argument that starts the window reader: it waits at most the number of
// milliseconds after it for a visible TAVU main window (of any process) and
// writes to standard output, in UTF-8, the text of its path field and then
// each item of its queue, one line each. Exit code 1 when no window came,
// 2 when the window did not answer.
inline constexpr const wchar_t* kShowWindowMode = L"--tavu-show-window";
