#include "common/undo.h"

#include <algorithm>

#include "common/fileops.h"
#include "common/journal.h"
#include "common/pelvane.h"
#include "common/shellops.h"
#include "common/wide.h"
#include "core/commit.h"
#include "core/error.h"

namespace Pelvane {

namespace {

std::optional<tavu::ItemIdentity> IdentityAt(const std::u16string& path) {
  const auto id = IdentityOf(path);
  if (!id)
    return std::nullopt;
  return tavu::ItemIdentity{id->volume, id->index};
}

// Adds the sizes of a folder's files and the newest write of anything in it,
// all the way down; links to other folders are not followed.
void AddTree(const std::u16string& folder, std::uint64_t& size, std::uint64_t& newest) {
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries);
  for (const FolderEntry& e : entries) {
    newest = std::max(newest, e.lastWrite);
    if (!(e.attrs & FILE_ATTRIBUTE_DIRECTORY))
      size += e.size;
    else if (!(e.attrs & FILE_ATTRIBUTE_REPARSE_POINT))
      AddTree(folder + u"\\" + e.name, size, newest);
  }
}

// What is at a path; with `stamp`, also its size and newest write (for a
// folder: of its whole tree, so that a change anywhere in a copy shows).
tavu::Found FoundAt(const std::u16string& path, bool stamp) {
  tavu::Found found;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!IsDriveReady(path) || !GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &data))
    return found;
  found.exists = true;
  found.identity = IdentityAt(path);
  if (stamp) {
    found.lastWrite =
        SizeOf(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      AddTree(path, found.size, found.lastWrite);
    else
      found.size = SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
  }
  return found;
}

// Moves the item back into the folder it came from: a file as OK moved it,
// a folder in one step; only one that OK moved to another volume under the
// same root goes back entry by entry.
bool MoveBack(const std::u16string& from, const std::u16string& to) {
  try {
    if (!IsExistingFolder(from)) {
      MoveFileTo(from, to);
      return true;
    }
    if (MoveFileExW(AsWide(from), AsWide(to), 0))
      return true;
    // A folder held busy stays whole where it is.
    if (GetLastError() != ERROR_NOT_SAME_DEVICE)
      return false;
    MoveFolderTo(from, to);
    return true;
  } catch (const tavu::Exception&) {
    return false;
  }
}

} // namespace

std::optional<tavu::UndoStep> DoneStep(tavu::StepKind kind, const std::u16string& from,
                                       const std::u16string& to) {
  const tavu::Found found = FoundAt(to, kind == tavu::StepKind::Copy);
  if (!found.identity)
    return std::nullopt;
  return tavu::UndoStep{kind, from, to, *found.identity, found.size, found.lastWrite};
}

tavu::UndoRefusal TakeBack(HWND owner, const tavu::UndoStep& step) {
  const bool copy = step.kind == tavu::StepKind::Copy;
  const tavu::UndoRefusal why =
      tavu::CheckUndo(step, FoundAt(step.to, copy), FoundAt(step.from, false),
                      IsExistingFolder(FolderOf(step.from)));
  if (why != tavu::UndoRefusal::None)
    return why;
  bool done = false;
  switch (step.kind) {
  case tavu::StepKind::Rename:
    done = RenameItem(owner, step.to, step.from);
    break;
  case tavu::StepKind::Move:
    done = MoveBack(step.to, step.from);
    break;
  case tavu::StepKind::Copy:
    done = RecycleItem(owner, step.to);
    break;
  }
  return done ? tavu::UndoRefusal::None : tavu::UndoRefusal::Failed;
}

UndoOutcome TakeBackNewest(HWND owner) {
  UndoOutcome out;
  const tavu::UndoJournal journal = ReadJournal();
  if (journal.empty())
    return out;
  out.entry = journal.front();
  out.left = journal.front();
  while (!out.left.steps.empty()) {
    out.refusal = TakeBack(owner, out.left.steps.back());
    if (out.refusal != tavu::UndoRefusal::None)
      break;
    out.done.push_back(out.left.steps.back());
    out.left.steps.pop_back();
    // A move back to another volume makes the item anew there; the rename
    // before it then finds the item it moved by the item's new identity.
    if (out.done.back().kind == tavu::StepKind::Move && !out.left.steps.empty())
      if (const auto moved = IdentityAt(out.done.back().from))
        out.left.steps.back().identity = *moved;
  }
  return out;
}

} // namespace Pelvane
