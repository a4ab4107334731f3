#pragma once
#include <windows.h>

#include <string>

namespace Pelvane {

// Puts the text on the clipboard as Unicode text, owned by `owner` (the
// application window); at most five attempts, each failed one followed by
// 100 ms of waiting. True once the clipboard has taken the text.
bool CopyTextToClipboard(HWND owner, const std::u16string& text);

} // namespace Pelvane
