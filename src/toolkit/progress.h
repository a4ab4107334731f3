#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "common/fileops.h"
#include "core/commit.h"

namespace tk {

// Runs `work` on a thread of its own while this thread goes on handling
// messages, every form disabled as around a modal dialog. Once the work has
// taken half a second, a progress window owned by `owner` shows `caption`,
// `item` and what `transfer` reports, with a button "キャンセル" that asks
// `transfer` to stop; it goes when the work ends. Returns once the work has
// returned: Stopped when it raised TransferCancelled, Failed for any other
// error.
tavu::TransferOutcome RunTransfer(HWND owner, const std::u16string& caption,
                                  const std::u16string& item, Pelvane::Transfer& transfer,
                                  const std::function<void()>& work);

} // namespace tk
