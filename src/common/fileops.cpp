#include "common/fileops.h"

#include <windows.h>

#include <utility>
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

// Makes the folder and any missing parents, adding each one made to `made`;
// true when it is a folder afterwards.
bool CreateFolderTree(const std::u16string& path, std::vector<std::u16string>* made) {
  const auto p = ExcludeTrailingSeparator(path);
  if (p.empty())
    return false;
  if (FolderExistsOnDisk(p))
    return true;
  const auto parent = ExcludeTrailingSeparator(FolderPart(p));
  if (!parent.empty() && parent.size() < p.size())
    CreateFolderTree(parent, made);
  if (CreateDirectoryW(AsWide(p), nullptr))
    made->push_back(p);
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

// None: CopyFileExW. Zero-initialised, so that a test program's own
// start-up can put its step in place before anything else runs.
CopyStep copyStep = nullptr;

// One operation: where it reports, whether it was cut short, and what it
// made, so that a cancelled one can take it all away again.
struct Job {
  explicit Job(Transfer* transfer) : t(transfer) {}
  Transfer* t;
  bool cut = false;
  std::vector<std::u16string> madeFiles, madeFolders;

  // True once the operation should stop (and then counts as cut short).
  bool Stopping() {
    if (t && t->CancelRequested())
      cut = true;
    return cut;
  }
  // Removes what the operation made, newest first, so folders are empty by then.
  [[noreturn]] void Undo() {
    for (const auto& f : madeFiles) {
      SetFileAttributesW(AsWide(f), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(AsWide(f));
    }
    for (auto it = madeFolders.rbegin(); it != madeFolders.rend(); ++it) {
      SetFileAttributesW(AsWide(*it), FILE_ATTRIBUTE_NORMAL);
      RemoveDirectoryW(AsWide(*it));
    }
    throw TransferCancelled();
  }
};

DWORD CALLBACK OnChunk(LARGE_INTEGER, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                       DWORD, HANDLE, HANDLE, LPVOID data) {
  auto* t = static_cast<Transfer*>(data);
  t->Advance(static_cast<std::uint64_t>(done.QuadPart));
  return t->CancelRequested() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// A copy of one file that leaves nothing torn behind where it created the
// file, whether it failed or was cancelled within the file.
bool CopyOneFile(Job& job, const std::u16string& from, const std::u16string& to, bool failIfExists,
                 std::uint64_t size) {
  if (job.Stopping())
    return false;
  const bool fresh = !Exists(to);
  if (job.t)
    job.t->Begin(from);
  if ((copyStep ? copyStep : CopyFileExW)(AsWide(from), AsWide(to), job.t ? OnChunk : nullptr,
                                          job.t, nullptr,
                                          failIfExists ? COPY_FILE_FAIL_IF_EXISTS : 0)) {
    if (fresh)
      job.madeFiles.push_back(to);
    if (job.t)
      job.t->Finish(size);
    return true;
  }
  if (GetLastError() == ERROR_REQUEST_ABORTED)
    job.cut = true;
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

// Adds up the files and bytes below folder; false when the deadline or a
// cancel came first.
bool CountTree(Job& job, const std::u16string& folder, ULONGLONG deadline, std::uint64_t& bytes,
               unsigned& files) {
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries);
  for (const auto& e : entries) {
    if (GetTickCount64() > deadline || job.Stopping())
      return false;
    if (e.attrs & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;
    if (!(e.attrs & FILE_ATTRIBUTE_DIRECTORY)) {
      bytes += e.size;
      ++files;
    } else if (!CountTree(job, folder + u"\\" + e.name, deadline, bytes, files)) {
      return false;
    }
  }
  return true;
}

// Tells the Transfer how much a folder's copy will move, unless counting
// takes too long (a huge tree, a slow network): the totals stay unknown then.
void CountFor(Job& job, const std::u16string& folder) {
  std::uint64_t bytes = 0;
  unsigned files = 0;
  if (job.t && CountTree(job, folder, GetTickCount64() + 1000, bytes, files))
    job.t->Count(bytes, files);
}

// Copies the content of src into dst; counts what could not be copied.
void CopyTree(Job& job, const std::u16string& src, const std::u16string& dst, std::size_t& failed) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(src, entries))
    ++failed;
  for (const auto& e : entries) {
    if (job.Stopping())
      return;
    const auto from = src + u"\\" + e.name;
    const auto to = dst + u"\\" + e.name;
    if (e.attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link may lead back up the tree; it is not followed, nor copied.
      ++failed;
    } else if (e.attrs & FILE_ATTRIBUTE_DIRECTORY) {
      const bool created = CreateDirectoryW(AsWide(to), nullptr) != FALSE;
      if (created)
        job.madeFolders.push_back(to);
      CopyTree(job, from, to, failed);
      // Only now: a read-only folder could refuse the files copied into it.
      if (created && (e.attrs & kGuarding))
        SetAttributes(to, e.attrs);
    } else if (!CopyOneFile(job, from, to, false, e.size)) {
      ++failed;
    }
  }
}

// Removes an emptied folder; one that cannot go keeps its attributes.
void RemoveFolder(const std::u16string& path, DWORD attrs) {
  const bool guarded = (attrs & kGuarding) != 0;
  if (guarded)
    SetFileAttributesW(AsWide(path), FILE_ATTRIBUTE_NORMAL);
  if (!RemoveDirectoryW(AsWide(path)) && guarded)
    SetAttributes(path, attrs);
}

// Deletes the source of a file that a move has copied, when the copy is as
// large and as new as the source (a copy carries its source's time). A
// source that changed after it was copied stays, and its stale copy goes:
// either way the file is in one place only.
void RemoveCopiedSource(const std::u16string& from, const std::u16string& to, DWORD attrs) {
  WIN32_FILE_ATTRIBUTE_DATA source, copy;
  if (!GetFileAttributesExW(AsWide(from), GetFileExInfoStandard, &source) ||
      !GetFileAttributesExW(AsWide(to), GetFileExInfoStandard, &copy))
    return; // gone meanwhile, or never copied
  if (source.nFileSizeLow == copy.nFileSizeLow && source.nFileSizeHigh == copy.nFileSizeHigh &&
      CompareFileTime(&source.ftLastWriteTime, &copy.ftLastWriteTime) == 0) {
    const bool readOnly = (attrs & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly)
      SetFileAttributesW(AsWide(from), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(AsWide(from)))
      return;
    if (readOnly)
      SetAttributes(from, attrs);
  }
  SetFileAttributesW(AsWide(to), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(AsWide(to));
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

// Moves the content of src into dst, or, once `copied` there, removes what
// arrived. What cannot be moved stays where it was, links included, so that
// the source folder remains to tell of it.
void MoveTree(const std::u16string& src, const std::u16string& dst, bool copied) {
  std::vector<FolderEntry> entries;
  ListFolder(src, entries);
  for (const auto& e : entries) {
    if (e.attrs & FILE_ATTRIBUTE_REPARSE_POINT)
      continue;
    const auto from = src + u"\\" + e.name;
    const auto to = dst + u"\\" + e.name;
    if (e.attrs & FILE_ATTRIBUTE_DIRECTORY) {
      const bool created = CreateDirectoryW(AsWide(to), nullptr) != FALSE;
      MoveTree(from, to, copied);
      if (created && (e.attrs & kGuarding))
        SetAttributes(to, e.attrs);
      RemoveFolder(from, e.attrs);
    } else if (copied) {
      RemoveCopiedSource(from, to, e.attrs);
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

// The copy of CopyFileTo and of a file's move across volumes.
void CopySingleFile(Job& job, const std::u16string& src, const std::u16string& dst) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(AsWide(src), GetFileExInfoStandard, &data);
  const auto size = SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
  if (job.t)
    job.t->Count(size, 1);
  if (!CopyOneFile(job, src, dst, true, size)) {
    if (job.cut)
      throw TransferCancelled();
    Fail(u"copy failed");
  }
}

// Whether a move that one rename could not do has to copy: the destination
// lies on another volume (which may sit below the same root).
bool AcrossVolumes(DWORD renameError, const std::u16string& src, const std::u16string& dst) {
  return renameError == ERROR_NOT_SAME_DEVICE ||
         FoldPathCase(tavu::PathRoot(src)) != FoldPathCase(tavu::PathRoot(dst));
}

} // namespace

std::uint64_t SizeOf(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool ListFolder(const std::u16string& folder, std::vector<FolderEntry>& out) {
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileExW(AsWide(folder + u"\\*"), FindExInfoBasic, &fd,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!h)
    return GetLastError() == ERROR_FILE_NOT_FOUND; // an empty drive root
  do {
    const wchar_t* n = fd.cFileName;
    if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
      continue;
    out.push_back({ToU16(n), fd.dwFileAttributes, SizeOf(fd.nFileSizeHigh, fd.nFileSizeLow),
                   SizeOf(fd.ftLastWriteTime.dwHighDateTime, fd.ftLastWriteTime.dwLowDateTime)});
  } while (FindNextFileW(h.Get(), &fd));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

void Transfer::Count(std::uint64_t bytes, unsigned files) {
  AcquireSRWLockExclusive(&lock_);
  figures_.totalBytes = bytes;
  figures_.totalFiles = files;
  figures_.counted = true;
  ReleaseSRWLockExclusive(&lock_);
}

void Transfer::Begin(const std::u16string& file) {
  AcquireSRWLockExclusive(&lock_);
  figures_.current = file;
  fileBase_ = figures_.doneBytes;
  ReleaseSRWLockExclusive(&lock_);
}

void Transfer::Advance(std::uint64_t doneInFile) {
  AcquireSRWLockExclusive(&lock_);
  figures_.doneBytes = fileBase_ + doneInFile;
  ReleaseSRWLockExclusive(&lock_);
}

void Transfer::Finish(std::uint64_t fileBytes) {
  AcquireSRWLockExclusive(&lock_);
  figures_.doneBytes = fileBase_ + fileBytes;
  ++figures_.doneFiles;
  ReleaseSRWLockExclusive(&lock_);
}

Transfer::Figures Transfer::Snapshot() const {
  AcquireSRWLockShared(&lock_);
  Figures f = figures_;
  ReleaseSRWLockShared(&lock_);
  return f;
}

CopyStep UseCopyStep(CopyStep step) {
  return std::exchange(copyStep, step);
}

void CopyFileTo(const std::u16string& src, const std::u16string& dst, Transfer* t) {
  CheckFileMove(src, dst);
  Job job(t);
  CopySingleFile(job, src, dst);
}

void MoveFileTo(const std::u16string& src, const std::u16string& dst, Transfer* t) {
  CheckFileMove(src, dst);
  // A rename only: never a copy that a cancel could not stop.
  if (MoveFileExW(AsWide(src), AsWide(dst), 0))
    return;
  if (!AcrossVolumes(GetLastError(), src, dst))
    Fail(u"move failed");
  Job job(t);
  CopySingleFile(job, src, dst);
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

void CopyFolderTo(const std::u16string& src, const std::u16string& dst, Transfer* t) {
  if (!IsExistingFolder(src))
    Fail(u"no source folder");
  if (!IsDriveReady(dst))
    Fail(u"no destination drive");
  RefuseIntoSelf(src, dst);
  const auto from = ExcludeTrailingSeparator(src);
  const auto to = ExcludeTrailingSeparator(dst);
  Job job(t);
  CountFor(job, from);
  const bool created = !FolderExistsOnDisk(to);
  if (!CreateFolderTree(to, &job.madeFolders))
    Fail(u"destination not created");
  std::size_t failed = 0;
  CopyTree(job, from, to, failed);
  if (job.cut)
    job.Undo();
  const DWORD attrs = AttributesOf(from);
  if (created && (attrs & kGuarding))
    SetAttributes(to, attrs);
  if (failed)
    Fail(u"not everything copied");
}

void MoveFolderTo(const std::u16string& src, const std::u16string& dst, Transfer* t) {
  if (!IsExistingFolder(src))
    Fail(u"no source folder");
  if (!IsDriveReady(dst))
    Fail(u"no destination drive");
  if (Exists(dst))
    Fail(u"destination exists");
  RefuseIntoSelf(src, dst);
  const auto from = ExcludeTrailingSeparator(src);
  const auto to = ExcludeTrailingSeparator(dst);
  Job job(t);
  // One rename moves the whole tree whenever the volume allows it.
  CreateFolderTree(FolderPart(to), &job.madeFolders);
  if (MoveFileExW(AsWide(from), AsWide(to), 0))
    return;
  const bool across = AcrossVolumes(GetLastError(), from, to);
  const DWORD attrs = AttributesOf(from);
  if (across)
    CountFor(job, from);
  if (!CreateFolderTree(to, &job.madeFolders))
    Fail(u"destination not created");
  if (across) {
    // Everything is copied before any source goes, so that a cancel can
    // leave the source whole.
    std::size_t failed = 0;
    CopyTree(job, from, to, failed);
    if (job.cut)
      job.Undo();
  }
  MoveTree(from, to, across);
  if (attrs & kGuarding)
    SetAttributes(to, attrs);
  RemoveFolder(from, attrs);
  if (Exists(from))
    Fail(u"not everything moved");
}

} // namespace Pelvane
