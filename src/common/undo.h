#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/journal.h"

// The file-system work of recording an OK's steps and of taking them back.
namespace Pelvane {

// A step an OK has just done as the journal records it, with what the disk
// shows now at its end: the item's identity and, for a copy, its size and
// last write. Nothing when the item cannot be found there.
std::optional<tavu::UndoStep> DoneStep(tavu::StepKind kind, const std::u16string& from,
                                       const std::u16string& to);

// Asks the shell to rename old to new (full paths) with undo; true when the
// shell reports success.
bool ShellRename(HWND owner, const std::u16string& oldPath, const std::u16string& newPath);
// Renames old to new through the file system, on their extended-length
// forms, never onto an existing item: for paths the shell cannot take.
bool LongPathRename(const std::u16string& oldPath, const std::u16string& newPath);
// Renames old to new as OK does: a name the system reads as the old one
// changes nothing, a name another item has is refused, the shell renames
// with undo, and a change of letter case that the shell keeps as it was goes
// through a fresh name in the same folder. False when the item was not renamed.
bool RenameItem(HWND owner, const std::u16string& oldPath, const std::u16string& newPath);
// Puts the item into the Recycle Bin (the desktop's trash under Wine)
// through the shell; true when it is gone from its place.
bool RecycleItem(HWND owner, const std::u16string& path);

// Takes one step back when the disk still shows what the step did: a rename
// goes back through the shell, a move goes back into its folder under its
// former name, a copy goes to the Recycle Bin. Otherwise nothing is changed
// and the refusal says why.
tavu::UndoRefusal TakeBack(HWND owner, const tavu::UndoStep& step);

struct UndoOutcome {
  std::optional<tavu::UndoEntry> entry; // the newest entry as read; none: nothing to undo
  tavu::UndoEntry left;                 // its steps not taken back
  std::vector<tavu::UndoStep> done;     // those taken back, in the order they were
  tavu::UndoRefusal refusal = tavu::UndoRefusal::None; // why left's last step was not
};
// Takes back the journal's newest entry, newest step first, until a step is
// refused. The journal itself is not changed. Throws when it cannot be read.
UndoOutcome TakeBackNewest(HWND owner);

} // namespace Pelvane
