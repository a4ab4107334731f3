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
  return MoveFileExW(AsWide(from), AsWide(to),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool FileSteps::Remove(const std::u16string& path) {
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
