#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"

// Copies and moves of files and whole folders. Each operation checks its
// preconditions before it changes anything, then raises tavu::Exception when
// any step fails; whatever it had done by then stays done. Given a Transfer,
// an operation reports its progress there and stops when asked to: it then
// takes away everything it had created and raises TransferCancelled.
namespace Pelvane {

// What a copy or move has done so far, written by the thread that runs it
// and read by the one that shows it; and the request to stop it.
class Transfer {
public:
  struct Figures {
    std::uint64_t doneBytes = 0, totalBytes = 0;
    unsigned doneFiles = 0, totalFiles = 0;
    bool counted = false;   // the totals are known
    std::u16string current; // the file being copied now
  };

  Transfer() { InitializeSRWLock(&lock_); }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Asks the operation to stop at its next chance (any thread).
  void Cancel() { cancel_ = true; }
  bool CancelRequested() const { return cancel_; }
  Figures Snapshot() const;

  // Set by the thread that ran the operation once it has returned.
  std::atomic<bool> ended{false};

  // For the operations themselves.
  void Count(std::uint64_t bytes, unsigned files);
  void Begin(const std::u16string& file);
  void Advance(std::uint64_t doneInFile);
  void Finish(std::uint64_t fileBytes);

private:
  mutable SRWLOCK lock_;
  Figures figures_;
  std::uint64_t fileBase_ = 0;
  std::atomic<bool> cancel_{false};
};

// Raised by an operation that stopped because its Transfer asked it to.
class TransferCancelled : public tavu::Exception {
public:
  TransferCancelled() : tavu::Exception(u"cancelled") {}
};

// The single-file copy every operation goes through, as CopyFileExW: a test
// can slow it down or make it call back as Windows does within a large file.
using CopyStep = BOOL(WINAPI*)(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data,
                               LPBOOL cancel, DWORD flags);
// Puts `step` in use (nullptr: CopyFileExW again) and returns the one that
// was in use (nullptr for CopyFileExW).
CopyStep UseCopyStep(CopyStep step);

// The 64-bit number of two 32-bit halves (a size, a FILETIME's ticks).
std::uint64_t SizeOf(DWORD high, DWORD low);

struct FolderEntry {
  std::u16string name;
  DWORD attrs;
  std::uint64_t size;
  std::uint64_t lastWrite; // FILETIME ticks
};
// The folder's entries, hidden and system ones included, without "." and
// "..". Listed before anything is done to them, so that moving entries out
// never disturbs the listing. False when the folder could not be listed.
bool ListFolder(const std::u16string& folder, std::vector<FolderEntry>& out);

// Copies an existing file to a new path whose folder exists; never overwrites.
void CopyFileTo(const std::u16string& src, const std::u16string& dst, Transfer* t = nullptr);
// Moves an existing file to a new path whose folder exists: a rename on the
// same volume, else a copy and then the deletion of the source.
void MoveFileTo(const std::u16string& src, const std::u16string& dst, Transfer* t = nullptr);
// Copies a folder's whole tree into dst (made with any missing parents),
// overwriting files already there; raises when any entry could not be copied.
// Cancelled, it removes the files and folders it made (a file it overwrote
// stays as the copy left it).
void CopyFolderTo(const std::u16string& src, const std::u16string& dst, Transfer* t = nullptr);
// Moves a folder's whole tree to dst, which must not exist: one rename on
// the same volume, else a copy of the whole tree and then the removal of
// every source file that arrived unchanged; raises when anything stays
// behind in the source.
void MoveFolderTo(const std::u16string& src, const std::u16string& dst, Transfer* t = nullptr);

} // namespace Pelvane
