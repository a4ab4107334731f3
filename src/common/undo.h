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
