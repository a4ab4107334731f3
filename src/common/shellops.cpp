#include "common/shellops.h"

#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "common/pelvane.h"
#include "common/wide.h"
#include "core/commit.h"

namespace Pelvane {

namespace {

ShellRenameStep shellRename = nullptr;
ShellOpen shellOpen = nullptr;

// The shell's rename takes paths shorter than MAX_PATH characters; Wine's
// overruns its buffers on longer ones and takes the process down.
bool ShellCanTake(const std::u16string& path) {
  return path.size() < MAX_PATH;
}

// Renames through a fresh name in the same folder and then to the new one,
// for a change of letter case that a plain rename keeps as it was; the
// first step is undone when the second fails.
bool RenameThroughTemporary(const std::u16string& oldPath, const std::u16string& newPath) {
  std::u16string temp;
  for (unsigned n = 0; n < 1000 && temp.empty(); ++n) {
    std::u16string candidate = FolderPart(oldPath) + u"~tavu" +
                               ToU16(std::to_wstring(GetCurrentProcessId() + n).c_str()) + u".tmp";
    if (GetFileAttributesW(AsWide(LongPathForm(candidate))) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
      temp = candidate;
  }
  if (temp.empty() || !LongPathRename(oldPath, temp))
    return false;
  if (LongPathRename(temp, newPath))
    return true;
  LongPathRename(temp, oldPath);
  return false;
}

struct BrowseState {
  HWND centreOn;
  const std::u16string* folder;
};

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg != BFFM_INITIALIZED)
    return 0;
  const auto* state = reinterpret_cast<const BrowseState*>(data);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  RECT r{};
  if (GetMonitorInfoW(MonitorFromWindow(state->centreOn, MONITOR_DEFAULTTONEAREST), &mi) &&
      GetWindowRect(dialog, &r)) {
    const RECT& m = mi.rcMonitor;
    int x = m.left + ((m.right - m.left) - (r.right - r.left)) / 2;
    int y = m.top + ((m.bottom - m.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  if (!state->folder->empty())
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                 reinterpret_cast<LPARAM>(AsWide(*state->folder)));
  return 0;
}

} // namespace

bool ShellRename(HWND owner, const std::u16string& oldPath, const std::u16string& newPath) {
  // Lists of paths, each list ended by an extra NUL.
  const std::u16string from = oldPath + std::u16string(2, u'\0');
  const std::u16string to = newPath + std::u16string(2, u'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = owner;
  op.wFunc = FO_RENAME;
  op.pFrom = AsWide(from);
  op.pTo = AsWide(to);
  op.fFlags = FOF_ALLOWUNDO | FOF_RENAMEONCOLLISION;
  op.fAnyOperationsAborted = TRUE;
  return SHFileOperationW(&op) == 0;
}

ShellRenameStep UseShellRename(ShellRenameStep step) {
  return std::exchange(shellRename, step);
}

bool LongPathRename(const std::u16string& oldPath, const std::u16string& newPath) {
  return MoveFileExW(AsWide(LongPathForm(oldPath)), AsWide(LongPathForm(newPath)), 0) != FALSE;
}

bool RenameItem(HWND owner, const std::u16string& oldPath, const std::u16string& newPath) {
  // OK on an unchanged name commits the item as it is (to move or copy it).
  // A name the system reads as the same one is unchanged too: renaming
  // README to "README." would only go through a temporary name and back.
  if (tavu::LeavesNameUnchanged(oldPath, newPath))
    return true;
  const auto item = IdentityOf(oldPath);
  const auto taken = IdentityOf(newPath);
  const bool sameItem = item && taken && *item == *taken;
  // The shell would give the item some other name beside the one taken, and
  // the log and a following move would then name the wrong item.
  if (taken && !sameItem)
    return false;
  bool renamed;
  if (ShellCanTake(oldPath) && ShellCanTake(newPath))
    renamed = (shellRename ? shellRename : ShellRename)(owner, oldPath, newPath) ||
              (sameItem && RenameThroughTemporary(oldPath, newPath));
  else
    renamed =
        sameItem ? RenameThroughTemporary(oldPath, newPath) : LongPathRename(oldPath, newPath);
  // A rename reported as done may still have given the item another name
  // (Wine cuts what a Linux file system cannot hold): only the new path on
  // disk says it was done.
  return renamed && (FileExistsOnDisk(newPath) || FolderExistsOnDisk(newPath));
}

bool RecycleItem(HWND owner, const std::u16string& path) {
  const std::u16string from = path + std::u16string(2, u'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = AsWide(from);
  // No question whether to recycle what the user asked to take back; but
  // one before an item is deleted for good where there is no Recycle Bin.
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING;
  return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted &&
         GetFileAttributesW(AsWide(path)) == INVALID_FILE_ATTRIBUTES;
}

bool BrowseForFolder(HWND owner, HWND centreOn, const std::u16string& caption,
                     std::u16string& folder) {
  if (!FolderExistsOnDisk(folder))
    folder.clear();
  BrowseState state{centreOn, &folder};
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = AsWide(caption);
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  bi.lpfn = BrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(&state);
  PIDLIST_ABSOLUTE chosen;
  {
    ErrorModeScope silent(SEM_FAILCRITICALERRORS);
    chosen = SHBrowseForFolderW(&bi);
  }
  if (!chosen)
    return false;
  wchar_t path[MAX_PATH + 1] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (ok)
    folder = ToU16(path);
  return ok;
}

bool OpenInShell(HWND owner, const std::u16string& path) {
  const auto result = reinterpret_cast<INT_PTR>((shellOpen ? shellOpen : ::ShellExecuteW)(
      owner, L"open", AsWide(path), nullptr, nullptr, SW_SHOW));
  return result > 32;
}

ShellOpen UseShellOpen(ShellOpen open) {
  return std::exchange(shellOpen, open);
}

} // namespace Pelvane
