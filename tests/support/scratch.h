#pragma once
// A fresh folder per test under the temporary folder, with the files and
// folders the test makes in it, all removed when the test ends. The window
// tests, the process tests and the benchmarks' tests share it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/handle.h"
#include "common/wide.h"

namespace testsupport {

inline std::u16string Decimal(unsigned long long n) {
  return ToU16(std::to_wstring(n).c_str());
}

inline bool Exists(const std::u16string& path) {
  return GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES;
}

// A whole file's bytes, or nothing when it cannot be read. Others may hold it open.
inline std::optional<std::string> ReadIfThere(const std::u16string& path) {
  ScopedFileHandle h(CreateFileW(AsWide(path), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!h)
    return std::nullopt;
  std::string bytes(GetFileSize(h.Get(), nullptr), '\0');
  DWORD got = 0;
  ReadFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  return bytes;
}
inline std::string ReadBytes(const std::u16string& path) {
  return ReadIfThere(path).value_or(std::string());
}
inline std::string ReadBytes(const std::wstring& path) {
  return ReadBytes(ToU16(path.c_str()));
}

// Makes the file hold exactly these bytes; fails the calling test when it cannot.
inline void WriteBytes(const std::u16string& path, const std::string& bytes) {
  ScopedFileHandle h(
      CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(h) << "cannot write a test file";
  DWORD wrote = 0;
  ASSERT_TRUE(WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr));
}
inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  WriteBytes(ToU16(path.c_str()), bytes);
}

inline void RemoveTree(const std::u16string& path) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(AsWide(path + u"\\*"), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::u16string name = ToU16(fd.cFileName);
      if (name == u"." || name == u"..")
        continue;
      std::u16string child = path + u"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(AsWide(child), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(AsWide(child));
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(AsWide(path));
}

// A fresh folder under the temporary folder (or under `base`, a folder with
// a trailing backslash), removed with everything in it.
class ScratchFolder {
public:
  explicit ScratchFolder(const std::u16string& prefix = u"tavu-test-",
                         const std::u16string& base = TempFolder()) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      std::u16string candidate = base + prefix + Decimal(GetCurrentProcessId()) + u"-" +
                                 Decimal(GetTickCount64()) + u"-" + Decimal(++serial);
      if (CreateDirectoryW(AsWide(candidate), nullptr))
        path_ = candidate;
    }
    EXPECT_FALSE(path_.empty()) << "cannot create a temporary folder";
  }
  ~ScratchFolder() {
    // In the extended-length form, which reaches what a test put deeper than MAX_PATH.
    if (!path_.empty())
      RemoveTree(path_.starts_with(u"\\\\") ? path_ : u"\\\\?\\" + path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The system's temporary folder, with a trailing backslash.
  static std::u16string TempFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    return ToU16(base, n);
  }

  // The folder itself, without a trailing backslash.
  const std::u16string& Root() const { return path_; }
  std::u16string Path(const std::u16string& name) const { return path_ + u"\\" + name; }
  std::u16string File(const std::u16string& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    std::u16string p = Path(name);
    ScopedFileHandle h(
        CreateFileW(AsWide(p), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
    EXPECT_TRUE(h) << "cannot create a test file";
    return p;
  }
  std::u16string Folder(const std::u16string& name) {
    std::u16string p = Path(name);
    EXPECT_TRUE(CreateDirectoryW(AsWide(p), nullptr));
    return p;
  }

private:
  std::u16string path_;
};

} // namespace testsupport

namespace wintest {
using testsupport::Decimal;
using testsupport::RemoveTree;
using testsupport::ScratchFolder;
} // namespace wintest
