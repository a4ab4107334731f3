#include "core/paths.h"

namespace tavu {

namespace {

// Forward slashes are deliberately ordinary: the renaming rules treat paths
// the way the shell hands them over, where only these two end a component.
constexpr const char16_t* kComponentEnds = u"\\:";

std::size_t LastComponentEnd(const std::u16string& path) {
  return path.find_last_of(kComponentEnds);
}

} // namespace

// The extended-length form of a full path, or empty when it has none.
std::u16string ExtendedLengthPath(const std::u16string& fullPath) {
  const std::u16string_view p = fullPath;
  if (p.starts_with(u"\\\\?\\") || p.starts_with(u"\\\\.\\"))
    return fullPath;
  if (p.size() >= 3 && p[1] == u':' && p[2] == u'\\' &&
      ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z')))
    return u"\\\\?\\" + fullPath;
  // A server and a share name, each not empty.
  if (p.starts_with(u"\\\\") && p.size() > 2 && p[2] != u'\\') {
    const auto share = p.find(u'\\', 2);
    if (share != std::u16string_view::npos && share + 1 < p.size() && p[share + 1] != u'\\')
      return u"\\\\?\\UNC" + fullPath.substr(1);
  }
  return {};
}

// The text after the last component end; the whole path when there is none.
std::u16string FileNamePart(const std::u16string& path) {
  const auto pos = LastComponentEnd(path);
  return pos == std::u16string::npos ? path : path.substr(pos + 1);
}

// The text up to and including the last component end; empty when there is none.
std::u16string FolderPart(const std::u16string& path) {
  const auto pos = LastComponentEnd(path);
  return pos == std::u16string::npos ? std::u16string() : path.substr(0, pos + 1);
}

// The extension with its leading period, or empty.
std::u16string ExtPart(const std::u16string& path) {
  // Searching for the period together with the component ends keeps a period
  // in a folder name from being taken for the file's extension.
  const auto pos = path.find_last_of(u".\\:");
  if (pos == std::u16string::npos || path[pos] != u'.')
    return std::u16string();
  return path.substr(pos);
}

// The file name part without its last period and what follows it.
std::u16string NameWithoutExt(const std::u16string& path) {
  auto name = FileNamePart(path);
  const auto pos = LastCharPos(u".", name);
  if (pos > 0)
    name.resize(pos - 1);
  return name;
}

// 1-based position of the last occurrence of the one-character string ch; 0 if absent.
std::size_t LastCharPos(const std::u16string& ch, const std::u16string& text) {
  if (ch.size() != 1)
    return 0;
  const auto pos = text.rfind(ch[0]);
  return pos == std::u16string::npos ? 0 : pos + 1;
}

// The path without one trailing backslash.
std::u16string ExcludeTrailingSeparator(const std::u16string& path) {
  if (!path.empty() && path.back() == u'\\')
    return path.substr(0, path.size() - 1);
  return path;
}

// The folder without its trailing backslash, except after a colon or another backslash.
std::u16string FolderOf(const std::u16string& path) {
  const auto pos = LastComponentEnd(path);
  if (pos == std::u16string::npos)
    return std::u16string();
  // A backslash right after a drive colon or another backslash is part of a
  // root ("C:\", "\\"), and a root without its backslash names something else.
  const bool strippable =
      path[pos] == u'\\' && pos > 0 && path[pos - 1] != u':' && path[pos - 1] != u'\\';
  return path.substr(0, strippable ? pos : pos + 1);
}

std::u16string PathRoot(const std::u16string& path) {
  if (path.size() >= 2 && path[1] == u':')
    return path.substr(0, 2);
  if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\') {
    const auto server = path.find(u'\\', 2);
    if (server == std::u16string::npos || server == 2)
      return path;
    const auto share = path.find(u'\\', server + 1);
    return share == std::u16string::npos ? path : path.substr(0, share);
  }
  return std::u16string();
}

bool IsSameOrInside(const std::u16string& path, const std::u16string& folder) {
  const auto p = ExcludeTrailingSeparator(path);
  const auto f = ExcludeTrailingSeparator(folder);
  if (f.empty() || p.compare(0, f.size(), f) != 0)
    return false;
  return p.size() == f.size() || p[f.size()] == u'\\';
}

// Which drive root, if any, must be asked whether it is ready for the path.
DriveQuery ClassifyDrive(const std::u16string& path) {
  DriveQuery query;
  if (path.empty())
    return query;
  char16_t c = path[0];
  // Only ASCII letters name drives; full-width letters must not be folded in.
  if (c >= u'a' && c <= u'z')
    c = static_cast<char16_t>(c - 32);
  if (c >= u'A' && c <= u'Z') {
    query.kind = DriveQuery::AskRoot;
    query.root = std::u16string{c, u':', u'\\'};
  } else if (c == u'\\') {
    // UNC and root-relative paths have no drive letter to ask about.
    query.kind = DriveQuery::Ready;
  }
  return query;
}

// An existing non-folder entry, links followed.
bool FileExistsWith(const FileQueries& fs, const std::u16string& path) {
  const auto attrs = fs.Attributes(path);
  if (!attrs.ok) {
    if (attrs.value == FileQueries::kErrorFileNotFound ||
        attrs.value == FileQueries::kErrorPathNotFound ||
        attrs.value == FileQueries::kErrorInvalidName)
      return false;
    // Other failures (a locked page file, access denied on the parent) do not
    // mean absence; the directory listing can still see the entry.
    const auto found = fs.Find(path);
    return found.ok && (found.value & FileQueries::kDirectory) == 0;
  }
  if ((attrs.value & FileQueries::kReparsePoint) == 0)
    return (attrs.value & FileQueries::kDirectory) == 0;
  if ((attrs.value & FileQueries::kDirectory) != 0)
    return false;
  // A file link counts only when its target can be reached; a target held
  // open by someone else still exists.
  const auto opened = fs.Open(path, /*folder=*/false);
  return opened.ok || opened.value == FileQueries::kErrorSharingViolation;
}

// An existing folder, links and junctions followed.
bool FolderExistsWith(const FileQueries& fs, const std::u16string& path) {
  const auto attrs = fs.Attributes(path);
  if (!attrs.ok)
    return false;
  const bool folder = (attrs.value & FileQueries::kDirectory) != 0;
  if ((attrs.value & FileQueries::kReparsePoint) == 0)
    return folder;
  // A dangling junction still reports the folder flag; opening it follows it.
  return fs.Open(path, /*folder=*/true).ok && folder;
}

} // namespace tavu
