#include "common/fileops.h"

#include <windows.h>

#include <vector>

#include "common/handle.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "core/error.h"
#include "core/paths.h"

namespace Pelvane {

namespace {

// What a caller sees is only that the operation failed; the text stays short.
[[noreturn]] void Fail(const char16_t* what) {
  throw tavu::Exception(what);
}

// Attributes that SetFileAttributesW accepts; the others describe the entry.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Attributes that block a deletion, or that a fresh folder would not have.
constexpr DWORD kGuarding = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

void SetAttributes(const std::u16string& path, DWORD attrs) {
  attrs &= kSettable;
  SetFileAttributesW(AsWide(path), attrs ? attrs : FILE_ATTRIBUTE_NORMAL);
}

// The entry's attributes, or none when they cannot be read.
DWORD AttributesOf(const std::u16string& path) {
  const DWORD attrs = GetFileAttributesW(AsWide(path));
  return attrs == INVALID_FILE_ATTRIBUTES ? 0 : attrs;
}

// Anything answering to the name, or a name the system would not say is free.
bool Exists(const std::u16string& path) {
  if (GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES)
    return true;
  const DWORD e = GetLastError();
  return e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND && e != ERROR_INVALID_NAME;
}

std::u16string FullPath(const std::u16string& path) {
  const DWORD size = GetFullPathNameW(AsWide(path), 0, nullptr, nullptr);
  if (size == 0)
    return path;
  std::u16string out(size, u'\0');
  const DWORD n = GetFullPathNameW(AsWide(path), size, AsWideBuffer(out), nullptr);
  if (n == 0 || n >= size)
    return path;
  out.resize(n);
  return out;
}

// Makes the folder and any missing parents; true when it is a folder afterwards.
bool CreateFolderTree(const std::u16string& path) {
  const auto p = ExcludeTrailingSeparator(path);
  if (p.empty())
    return false;
  if (FolderExistsOnDisk(p))
    return true;
  const auto parent = ExcludeTrailingSeparator(FolderPart(p));
  if (!parent.empty() && parent.size() < p.size())
    CreateFolderTree(parent);
  CreateDirectoryW(AsWide(p), nullptr);
  return FolderExistsOnDisk(p);
}

// Removes what a failed copy or move left at `to`, where nothing was before,
// while the source is still there to keep the file whole: Wine leaves the
// part that a full disk let through, and a move that copied but could not
// delete leaves a second copy.
void RemoveLeftover(const std::u16string& from, const std::u16string& to) {
  if (!Exists(from) || !Exists(to))
    return;
  SetFileAttributesW(AsWide(to), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(AsWide(to));
}

// CopyFileW that leaves nothing torn behind where it created the file.
bool CopyOneFile(const std::u16string& from, const std::u16string& to, bool failIfExists) {
  const bool fresh = !Exists(to);
  if (CopyFileW(AsWide(from), AsWide(to), failIfExists))
    return true;
  if (fresh)
    RemoveLeftover(from, to);
  return false;
}

// MoveFileW (a copy and a deletion across volumes) that leaves the file in
// one place only, whole, when it fails.
bool MoveOneFileTo(const std::u16string& from, const std::u16string& to) {
  const bool fresh = !Exists(to);
  if (MoveFileW(AsWide(from), AsWide(to)))
    return true;
  if (fresh)
    RemoveLeftover(from, to);
  return false;
}

// A walk into its own output would never end, and a rename into itself
// cannot work: refuse a destination that is the source or lies inside it.
void RefuseIntoSelf(const std::u16string& src, const std::u16string& dst) {
  if (tavu::IsSameOrInside(FoldPathCase(FullPath(dst)), FoldPathCase(FullPath(src))))
    Fail(u"destination inside source");
}

struct Entry {
  std::u16string name;
  DWORD attrs;
};

// The folder's entries, hidden and system ones included, without "." and
// "..". Listed before anything is done to them, so that moving entries out
// never disturbs the listing. False when the folder could not be listed.
bool ListFolder(const std::u16string& folder, std::vector<Entry>& out) {
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileExW(AsWide(folder + u"\\*"), FindExInfoBasic, &fd,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!h)
    return GetLastError() == ERROR_FILE_NOT_FOUND; // an empty drive root
  do {
    const wchar_t* n = fd.cFileName;
    if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
      continue;
    out.push_back({ToU16(n), fd.dwFileAttributes});
  } while (FindNextFileW(h.Get(), &fd));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

// Copies the content of src into dst; counts what could not be copied.
void CopyTree(const std::u16string& src, const std::u16string& dst, std::size_t& failed) {
  std::vector<Entry> entries;
  if (!ListFolder(src, entries))
    ++failed;
  for (const auto& e : entries) {
    const auto from = src + u"\\" + e.name;
    const auto to = dst + u"\\" + e.name;
    if (e.attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link may lead back up the tree; it is not followed, nor copied.
      ++failed;
    } else if (e.attrs & FILE_ATTRIBUTE_DIRECTORY) {
      const bool created = CreateDirectoryW(AsWide(to), nullptr) != FALSE;
      CopyTree(from, to, failed);
      // Only now: a read-only folder could refuse the files copied into it.
      if (created && (e.attrs & kGuarding))
        SetAttributes(to, e.attrs);
    } else if (!CopyOneFile(from, to, false)) {
      ++failed;
    }
  }
}

// Moves one file; guarding attributes are cleared for the move (a move
// across volumes deletes the source) and restored wherever the file ends up.
void MoveOneFile(const std::u16string& from, const std::u16string& to, DWORD attrs) {
  const bool guarded = (attrs & kGuarding) != 0;
  if (guarded)
    SetFileAttributesW(AsWide(from), FILE_ATTRIBUTE_NORMAL);
  const bool moved = MoveOneFileTo(from, to);
  if (guarded)
    SetAttributes(moved ? to : from, attrs);
}

// Removes an emptied folder; one that cannot go keeps its attributes.
void RemoveFolder(const std::u16string& path, DWORD attrs) {
  const bool guarded = (attrs & kGuarding) != 0;
  if (guarded)
    SetFileAttributesW(AsWide(path), FILE_ATTRIBUTE_NORMAL);
  if (!RemoveDirectoryW(AsWide(path)) && guarded)
    SetAttributes(path, attrs);
}

// Moves the content of src into dst. What cannot be moved stays where it
// was, links included, so that the source folder remains to tell of it.
void MoveTree(const std::u16string& src, const std::u16string& dst) {
  std::vector<Entry> entries;
  ListFolder(src, entries);
  for (const auto& e : entries) {
    if (e.attrs & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;
    const auto from = src + u"\\" + e.name;
    const auto to = dst + u"\\" + e.name;
    if (e.attrs & FILE_ATTRIBUTE_DIRECTORY) {
      const bool created = CreateDirectoryW(AsWide(to), nullptr) != FALSE;
      MoveTree(from, to);
      if (created && (e.attrs & kGuarding))
        SetAttributes(to, e.attrs);
      RemoveFolder(from, e.attrs);
    } else {
      MoveOneFile(from, to, e.attrs);
    }
  }
}

void CheckFileMove(const std::u16string& src, const std::u16string& dst) {
  if (!IsExistingFile(src))
    Fail(u"no source file");
  if (!IsExistingFolder(FolderPart(dst)))
    Fail(u"no destination folder");
  if (Exists(dst))
    Fail(u"destination exists");
}

} // namespace

void CopyFileTo(const std::u16string& src, const std::u16string& dst) {
  CheckFileMove(src, dst);
  if (!CopyOneFile(src, dst, true))
    Fail(u"copy failed");
}

void MoveFileTo(const std::u16string& src, const std::u16string& dst) {
  CheckFileMove(src, dst);
  if (tavu::PathRoot(src) == tavu::PathRoot(dst)) {
    if (!MoveOneFileTo(src, dst))
      Fail(u"move failed");
    return;
  }
  if (!CopyOneFile(src, dst, true))
    Fail(u"copy failed");
  // The copy carries the read-only flag; on the source it would only block the deletion.
  const DWORD attrs = AttributesOf(src);
  const bool readOnly = (attrs & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly)
    SetFileAttributesW(AsWide(src), (attrs & kSettable) & ~FILE_ATTRIBUTE_READONLY);
  if (!DeleteFileW(AsWide(src))) {
    if (readOnly)
      SetAttributes(src, attrs);
    Fail(u"source not deleted");
  }
}

void CopyFolderTo(const std::u16string& src, const std::u16string& dst) {
  if (!IsExistingFolder(src))
    Fail(u"no source folder");
  if (!IsDriveReady(dst))
    Fail(u"no destination drive");
  RefuseIntoSelf(src, dst);
  const auto from = ExcludeTrailingSeparator(src);
  const auto to = ExcludeTrailingSeparator(dst);
  const bool created = !FolderExistsOnDisk(to);
  if (!CreateFolderTree(to))
    Fail(u"destination not created");
  std::size_t failed = 0;
  CopyTree(from, to, failed);
  const DWORD attrs = AttributesOf(from);
  if (created && (attrs & kGuarding))
    SetAttributes(to, attrs);
  if (failed)
    Fail(u"not everything copied");
}

void MoveFolderTo(const std::u16string& src, const std::u16string& dst) {
  if (!IsExistingFolder(src))
    Fail(u"no source folder");
  if (Exists(dst))
    Fail(u"destination exists");
  if (FoldPathCase(tavu::PathRoot(src)) != FoldPathCase(tavu::PathRoot(dst)))
    Fail(u"other root");
  RefuseIntoSelf(src, dst);
  const auto from = ExcludeTrailingSeparator(src);
  const auto to = ExcludeTrailingSeparator(dst);
  // One rename moves the whole tree whenever the volume allows it.
  CreateFolderTree(FolderPart(to));
  if (MoveFileW(AsWide(from), AsWide(to)))
    return;
  const DWORD attrs = AttributesOf(from);
  if (!CreateFolderTree(to))
    Fail(u"destination not created");
  MoveTree(from, to);
  if (attrs & kGuarding)
    SetAttributes(to, attrs);
  RemoveFolder(from, attrs);
  if (Exists(from))
    Fail(u"not everything moved");
}

} // namespace Pelvane
