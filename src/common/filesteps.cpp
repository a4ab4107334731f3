#include "common/filesteps.h"

#include "common/wide.h"

namespace Pelvane {

namespace {
FileSteps* installed = nullptr;
} // namespace

HANDLE FileSteps::OpenToRead(const std::u16string& path, DWORD share) {
  return CreateFileW(AsWide(path), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE FileSteps::Create(const std::u16string& path) {
  return CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool FileSteps::Read(HANDLE file, void* buffer, DWORD size, DWORD& got) {
  got = 0;
  return ReadFile(file, buffer, size, &got, nullptr) != FALSE;
}

bool FileSteps::Write(HANDLE file, const void* data, DWORD size, DWORD& wrote) {
  wrote = 0;
  return WriteFile(file, data, size, &wrote, nullptr) != FALSE;
}

bool FileSteps::Flush(HANDLE file) {
  return FlushFileBuffers(file) != FALSE;
}

bool FileSteps::Close(HANDLE file) {
  return CloseHandle(file) != FALSE;
}

bool FileSteps::Replace(const std::u16string& from, const std::u16string& to) {
  // A plain move while there is nothing to replace; it refuses a file that exists.
  if (MoveFileExW(AsWide(from), AsWide(to), MOVEFILE_WRITE_THROUGH))
    return true;
  // A move over the old file would drop what it carries beside its content:
  // its attributes (a hidden TAVU.ini), its creation time and its security.
  // ReplaceFileW gives all of them to the new one; Wine's only moves it
  // over, so the attributes go across beforehand as well.
  constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD attributes = GetFileAttributesW(AsWide(to));
  // Wine's would even put the file in the place of an empty folder.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kCarried))
    SetFileAttributesW(AsWide(from), attributes & kCarried);
  if (ReplaceFileW(AsWide(to), AsWide(from), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                   nullptr))
    return true;
  const DWORD error = GetLastError();
  // The old file is gone, or renamed aside, and the new one still waits
  // under its own name: put it in place.
  if ((error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) &&
      MoveFileExW(AsWide(from), AsWide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  SetLastError(error);
  return false;
}

bool FileSteps::Remove(const std::u16string& path) {
  // A read-only file refuses to be deleted until it loses the attribute.
  SetFileAttributesW(AsWide(path), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(AsWide(path)) != FALSE;
}

FileSteps& Files() {
  static FileSteps real;
  return installed ? *installed : real;
}

FileSteps* UseFileSteps(FileSteps* steps) {
  return std::exchange(installed, steps);
}

} // namespace Pelvane
