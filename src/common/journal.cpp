#include "common/journal.h"

#include "common/listfile.h"
#include "common/pelvane.h"

namespace Pelvane {

std::u16string JournalPath() {
  return DataFolder + u"TAVU-Undo.txt";
}

tavu::UndoJournal ReadJournal() {
  const std::u16string path = JournalPath();
  if (!IsExistingFile(path))
    return {};
  // One byte past what is read tells the parser the file went on.
  return tavu::ParseJournal(ReadWholeFile(path, tavu::kJournalMaxBytes + 1));
}

void WriteJournal(const tavu::UndoJournal& journal) {
  ReplaceFileBytes(JournalPath(), tavu::JournalBytes(journal));
}

std::optional<tavu::UndoEntry> RecordInJournal(const std::optional<tavu::UndoEntry>& opened,
                                               tavu::UndoStep step) {
  tavu::UndoJournal journal = ReadJournal();
  auto entry = tavu::RecordStep(journal, opened, std::move(step));
  if (entry)
    WriteJournal(journal);
  return entry;
}

void ReplaceInJournal(const tavu::UndoEntry& entry, const tavu::UndoEntry& left) {
  tavu::UndoJournal journal = ReadJournal();
  tavu::ReplaceEntry(journal, entry, left);
  WriteJournal(journal);
}

} // namespace Pelvane
