#pragma once
#include <optional>
#include <string>

#include "core/journal.h"

// The undo journal's file, "TAVU-Undo.txt" in the data folder: read afresh
// at every use, so that every window of the program sees the others' OKs,
// and replaced in one step like the program's other files.
namespace Pelvane {

std::u16string JournalPath();

// The journal as the file holds it now: empty when there is no file, a
// damaged line skipped. Throws the "cannot be opened" error when the file
// exists but cannot be read.
tavu::UndoJournal ReadJournal();
// Writes the journal over the file. Throws the "cannot be created" error,
// leaving the file as it was.
void WriteJournal(const tavu::UndoJournal& journal);

// Records a step an OK has just done (see tavu::RecordStep) and gives the
// entry as it now stands. Nothing is written when the file cannot be read,
// so that no entry of it is lost; the error is thrown.
std::optional<tavu::UndoEntry> RecordInJournal(const std::optional<tavu::UndoEntry>& opened,
                                               tavu::UndoStep step);
// After an undo: the entry becomes the steps not taken back (see tavu::ReplaceEntry).
void ReplaceInJournal(const tavu::UndoEntry& entry, const tavu::UndoEntry& left);

} // namespace Pelvane
