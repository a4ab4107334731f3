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
