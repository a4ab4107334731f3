#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavu {

// The undo journal: what each completed OK did, so that it can be taken back
// later, also in another run. The file holds one entry per line, newest first.

// What identifies a file or folder on its volume, whatever path names it.
struct ItemIdentity {
  std::uint32_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const ItemIdentity&, const ItemIdentity&) = default;
};

enum class StepKind { Rename, Move, Copy };

// One step of an OK as it was done.
struct UndoStep {
  StepKind kind = StepKind::Rename;
  std::u16string from;   // the item's path before the step
  std::u16string to;     // after it (for a copy: the copy's path)
  ItemIdentity identity; // of the item at `to` right after the step
  // A copy only (0 for the others): the copy's size in bytes and its last
  // write, in 100-ns ticks; for a folder, its whole tree's size and newest write.
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
  friend bool operator==(const UndoStep&, const UndoStep&) = default;
};

// The steps of one OK in the order they were done: a rename, then a move or
// a copy of the renamed item, or either alone.
struct UndoEntry {
  std::vector<UndoStep> steps;
  friend bool operator==(const UndoEntry&, const UndoEntry&) = default;
};

// Newest entry first.
using UndoJournal = std::vector<UndoEntry>;

inline constexpr std::size_t kJournalLimit = 100;
// A journal of 100 entries of the longest paths stays far below this; more
// is not read.
inline constexpr std::size_t kJournalMaxBytes = 16u << 20;
inline constexpr std::size_t kMaxPathLength = 32767;

// Whether an entry is one an OK can have made: one or two steps, full paths
// without NUL, a rename within its folder, a move or copy that keeps the
// name and starts where the rename ended.
bool IsValidEntry(const UndoEntry& entry);

// The entry's line, without its line end; paths are written with '%', the
// control characters and lone surrogates as %XXXX. Only for valid entries.
std::u16string EntryLine(const UndoEntry& entry);
// The entry a line holds; nothing when the line is damaged or the entry not valid.
std::optional<UndoEntry> ParseEntryLine(std::u16string_view line);

// The file's bytes: UTF-8 without a byte-order mark, every line ended by CR LF.
std::string JournalBytes(const UndoJournal& journal);
// The entries of a file's bytes (of its first kJournalMaxBytes at most), at
// most kJournalLimit; a damaged line is skipped.
UndoJournal ParseJournal(std::string_view bytes);

// Puts the entry at the top and keeps at most `limit` entries.
void InsertEntry(UndoJournal& journal, UndoEntry entry, std::size_t limit = kJournalLimit);
// Records a step an OK has just done. A rename opens an entry of its own; a
// move or copy joins `opened`, the entry this OK's rename made, wherever the
// journal still holds it, or else opens one. Gives the entry as it now
// stands; nothing when the step makes no valid entry (it is not recorded).
std::optional<UndoEntry> RecordStep(UndoJournal& journal, const std::optional<UndoEntry>& opened,
                                    UndoStep step);
// After an undo of `entry`: the newest entry equal to it becomes `left`, the
// steps not taken back, or leaves the journal when there are none.
void ReplaceEntry(UndoJournal& journal, const UndoEntry& entry, const UndoEntry& left);

// What is found at a path when an undo step is checked.
struct Found {
  bool exists = false;
  std::optional<ItemIdentity> identity;
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
};

enum class UndoRefusal {
  None,
  Gone,       // nothing is at the step's `to` any more
  Replaced,   // another item is there
  Changed,    // the copy was changed since it was made
  Taken,      // another item has the place the step goes back to
  FolderGone, // the folder a move goes back into is gone
  Failed,     // the system refused the step
};

// Whether a step may be taken back: `at` is what is at its `to`, `back` what
// is at its `from`, `folderThere` whether the folder of `from` exists.
UndoRefusal CheckUndo(const UndoStep& step, const Found& at, const Found& back, bool folderThere);

// The box shown when an entry cannot be taken back: "元に戻せません。", why,
// and what was taken back before the refusal (`done`, newest first).
std::u16string RefusalText(UndoRefusal why, const UndoStep& step,
                           const std::vector<UndoStep>& done);
// The box when there is nothing to take back.
std::u16string NothingToUndoText();
// The log text of a step taken back: the step's own line with its paths
// swapped, then " 元に戻す".
std::u16string UndoLogText(const UndoStep& step);

} // namespace tavu
