#pragma once
#include <cstdint>
#include <string>

namespace tavu {

// Splitting of paths on UTF-16 code units. Only '\' and ':' end a component;
// positions are 1-based. Nothing here touches the file system.

std::u16string FileNamePart(const std::u16string& path);
std::u16string FolderPart(const std::u16string& path);
// The extension with its leading period, or empty.
std::u16string ExtPart(const std::u16string& path);
std::u16string NameWithoutExt(const std::u16string& path);
// 1-based position of the last occurrence of the one-character string ch; 0 if absent.
std::size_t LastCharPos(const std::u16string& ch, const std::u16string& text);
// The path without one trailing backslash.
std::u16string ExcludeTrailingSeparator(const std::u16string& path);
// The folder without its trailing backslash, except after a colon or another backslash.
std::u16string FolderOf(const std::u16string& path);

// The extended-length form of a full path ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), which the file functions take at any length;
// a path already in an extended or device form as it is; empty for a path
// that has none (relative, or relative to a drive).
std::u16string ExtendedLengthPath(const std::u16string& fullPath);

// The root a path lives under: "X:" for a drive path, "\\server\share" for
// a UNC path, empty for anything else. Letter case is kept.
std::u16string PathRoot(const std::u16string& path);
// True when `path` is `folder` itself or lies inside it, component by
// component (C:\a\b is inside C:\a, C:\ab is not). Both must be full paths
// in one letter case; one trailing backslash on either is ignored.
bool IsSameOrInside(const std::u16string& path, const std::u16string& folder);

// What the drive test must ask for a path: nothing (not ready), nothing
// (ready: a backslash path), or the size of the drive root "X:\".
struct DriveQuery {
  enum Kind { NotReady, Ready, AskRoot } kind = NotReady;
  std::u16string root; // "X:\" when kind == AskRoot
};
DriveQuery ClassifyDrive(const std::u16string& path);

// The file-system answers the existence rules need, injected so that the
// rules for links and attribute errors can be exercised without real links.
class FileQueries {
public:
  static constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;
  static constexpr std::uint32_t kDirectory = 0x10;
  static constexpr std::uint32_t kReparsePoint = 0x400;
  static constexpr std::uint32_t kErrorFileNotFound = 2;
  static constexpr std::uint32_t kErrorPathNotFound = 3;
  static constexpr std::uint32_t kErrorSharingViolation = 32;
  static constexpr std::uint32_t kErrorInvalidName = 123;

  struct Result {
    bool ok;
    std::uint32_t value; // attributes when ok, else the error code
  };
  virtual ~FileQueries() = default;
  // GetFileAttributesW: attributes, or the last error.
  virtual Result Attributes(const std::u16string& path) const = 0;
  // CreateFileW for reading (backup semantics for folders): success, or the last error.
  virtual Result Open(const std::u16string& path, bool folder) const = 0;
  // FindFirstFileW: the first entry's attributes, or not ok when nothing was found.
  virtual Result Find(const std::u16string& path) const = 0;
};

// An existing non-folder entry, links followed.
bool FileExistsWith(const FileQueries& fs, const std::u16string& path);
// An existing folder, links and junctions followed.
bool FolderExistsWith(const FileQueries& fs, const std::u16string& path);

} // namespace tavu
