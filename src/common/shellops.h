#pragma once
#include <windows.h>

#include <ole2.h>

#include <string>

// What the windows ask of the shell: its rename with undo and the renames
// around it, its Recycle Bin, its folder dialog and its "open" verb. The
// windows decide; these do.
namespace Pelvane {

// OLE on the calling thread while it lives: the folder dialog's new style
// and the shell's handlers behind "open" need it. The program makes one for
// its main thread at start-up.
class OleScope {
public:
  OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_)
      OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

private:
  bool ok_;
};

// Asks the shell to rename old to new (full paths) with undo; true when the
// shell reports success.
bool ShellRename(HWND owner, const std::u16string& oldPath, const std::u16string& newPath);
using ShellRenameStep = bool (*)(HWND owner, const std::u16string& oldPath,
                                 const std::u16string& newPath);
// Puts `step` in place of the shell's rename (nullptr: the shell's again) and
// returns the one that was in use (nullptr for the shell's), so that a test
// can make the rename act as another shell would.
ShellRenameStep UseShellRename(ShellRenameStep step);

// Renames old to new through the file system, on their extended-length
// forms, never onto an existing item: for paths the shell cannot take.
bool LongPathRename(const std::u16string& oldPath, const std::u16string& newPath);
// Renames old to new as OK does: a name the system reads as the old one
// changes nothing, a name another item has is refused, the shell renames
// with undo (the file system for paths too long for it), and a change of
// letter case that a plain rename keeps as it was goes through a fresh name
// in the same folder. True only when the new path is then on disk.
bool RenameItem(HWND owner, const std::u16string& oldPath, const std::u16string& newPath);
// Puts the item into the Recycle Bin (the desktop's trash under Wine)
// through the shell; true when it is gone from its place.
bool RecycleItem(HWND owner, const std::u16string& path);

// Asks the user for a folder in the shell's dialog, owned by `owner` and
// centred on the monitor of `centreOn`, starting at `folder` when it exists.
// True when one was confirmed, which is then in `folder`.
bool BrowseForFolder(HWND owner, HWND centreOn, const std::u16string& caption,
                     std::u16string& folder);

// Opens the file in the program the shell has for its type; false when none
// could be started.
bool OpenInShell(HWND owner, const std::u16string& path);
using ShellOpen = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
// Puts `open` in place of ShellExecuteW (nullptr: ShellExecuteW again) and
// returns the one that was in use (nullptr for ShellExecuteW).
ShellOpen UseShellOpen(ShellOpen open);

} // namespace Pelvane
