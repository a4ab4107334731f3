#include "common/clipboard.h"

#include <cstring>
#include <limits>

#include "common/handle.h"

namespace Pelvane {

namespace {

constexpr int kAttempts = 5;
constexpr DWORD kRetryDelayMs = 100;

// One attempt on an opened clipboard: empty it and hand it the text.
bool StoreText(const std::u16string& text) {
  if (text.size() >= std::numeric_limits<SIZE_T>::max() / sizeof(char16_t))
    return false;
  const SIZE_T bytes = (text.size() + 1) * sizeof(char16_t);
  ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!block)
    return false;
  void* p = GlobalLock(block.Get());
  if (!p)
    return false;
  std::memcpy(p, text.c_str(), bytes); // the text and its NUL
  GlobalUnlock(block.Get());
  if (!EmptyClipboard())
    return false;
  if (!SetClipboardData(CF_UNICODETEXT, block.Get()))
    return false;
  block.Release(); // the clipboard owns it now
  return true;
}

} // namespace

bool CopyTextToClipboard(HWND owner, const std::u16string& text) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (OpenClipboard(owner)) {
      const bool stored = StoreText(text);
      CloseClipboard();
      if (stored)
        return true;
    }
    Sleep(kRetryDelayMs);
  }
  return false;
}

} // namespace Pelvane
