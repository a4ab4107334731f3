// The path operations: how a path falls apart into folder, name and
// extension, its root, its drive, and whether one path lies inside another.
#include "core/paths.h"
#include "fuzz.h"

#include <cctype>
#include <vector>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

bool StartsWith(const std::u16string& s, const std::u16string& head) {
  return s.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::u16string& s, const std::u16string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsComponentEnd(char16_t c) {
  return c == u'\\' || c == u':';
}

std::vector<std::u16string> Components(const std::u16string& path) {
  std::vector<std::u16string> parts(1);
  for (const char16_t c : path) {
    if (c == u'\\')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

void CheckParts(const std::u16string& path) {
  const auto name = FileNamePart(path);
  const auto folder = FolderPart(path);
  const auto ext = ExtPart(path);
  FUZZ_CHECK(folder + name == path);
  FUZZ_CHECK(folder.empty() || IsComponentEnd(folder.back()));
  for (const char16_t c : name)
    FUZZ_CHECK(!IsComponentEnd(c));
  // The extension is the name's tail from its last period.
  const auto dot = name.rfind(u'.');
  FUZZ_CHECK(ext == (dot == std::u16string::npos ? u"" : name.substr(dot)));
  FUZZ_CHECK(NameWithoutExt(path) ==
             name.substr(0, dot == std::u16string::npos ? name.size() : dot));

  const auto pos = LastCharPos(u".", path);
  FUZZ_CHECK(pos == (path.rfind(u'.') == std::u16string::npos ? 0 : path.rfind(u'.') + 1));
  FUZZ_CHECK(LastCharPos(u"", path) == 0 && LastCharPos(u"..", path) == 0);

  const auto trimmed = ExcludeTrailingSeparator(path);
  FUZZ_CHECK(trimmed == (EndsWith(path, u"\\") ? path.substr(0, path.size() - 1) : path));

  // The folder of a path is its folder part, without the backslash that ends
  // it unless that backslash belongs to a root.
  const auto of = FolderOf(path);
  if (folder.size() >= 2 && folder.back() == u'\\' && folder[folder.size() - 2] != u':' &&
      folder[folder.size() - 2] != u'\\')
    FUZZ_CHECK(of == folder.substr(0, folder.size() - 1));
  else
    FUZZ_CHECK(of == folder);

  const auto root = PathRoot(path);
  FUZZ_CHECK(StartsWith(path, root));
  if (path.size() >= 2 && path[1] == u':')
    FUZZ_CHECK(root.size() == 2);
  else if (StartsWith(path, u"\\\\") && path.size() > 2) {
    // A UNC root is "\\server\share"; anything less well formed is a root of its own.
    FUZZ_CHECK(root.size() > 2);
    if (root.size() < path.size()) {
      const auto parts = Components(root);
      FUZZ_CHECK(path[root.size()] == u'\\' && parts.size() == 4 && !parts[2].empty());
    }
  } else {
    FUZZ_CHECK(root.empty());
  }

  // The extended-length form names the same item through another prefix: it
  // ends in the same name and is its own extended form. Every full drive
  // path has one.
  const auto extended = ExtendedLengthPath(path);
  if (!extended.empty()) {
    FUZZ_CHECK(StartsWith(extended, u"\\\\?\\") || StartsWith(extended, u"\\\\.\\"));
    FUZZ_CHECK(FileNamePart(extended) == name);
    FUZZ_CHECK(ExtendedLengthPath(extended) == extended);
  }
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\' && path[0] < 0x80 &&
      std::isalpha(static_cast<int>(path[0])))
    FUZZ_CHECK(extended == u"\\\\?\\" + path);

  const auto drive = ClassifyDrive(path);
  char16_t first = path.empty() ? 0 : path[0];
  if (first >= u'a' && first <= u'z')
    first -= u'a' - u'A';
  if (first >= u'A' && first <= u'Z') {
    FUZZ_CHECK(drive.kind == DriveQuery::AskRoot);
    FUZZ_CHECK((drive.root == std::u16string{first, u':', u'\\'}));
  } else {
    FUZZ_CHECK(drive.kind == (first == u'\\' ? DriveQuery::Ready : DriveQuery::NotReady));
    FUZZ_CHECK(drive.root.empty());
  }
}

// Inside means the folder's components lead the path's, one trailing
// backslash on either aside.
void CheckInside(const std::u16string& path, const std::u16string& folder) {
  const auto p = ExcludeTrailingSeparator(path), f = ExcludeTrailingSeparator(folder);
  bool inside = false;
  if (!f.empty()) {
    const auto pc = Components(p), fc = Components(f);
    inside = fc.size() <= pc.size();
    for (std::size_t i = 0; inside && i < fc.size(); ++i)
      inside = fc[i] == pc[i];
  }
  FUZZ_CHECK(IsSameOrInside(path, folder) == inside);
  FUZZ_CHECK(IsSameOrInside(path, path) == !p.empty());
  if (!f.empty())
    FUZZ_CHECK(IsSameOrInside(f + u"\\" + path, folder));
  if (IsSameOrInside(path, folder) && IsSameOrInside(folder, path))
    FUZZ_CHECK(p == f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const auto path = in.Text();
  const auto other = in.Text();
  CheckParts(path);
  CheckParts(other);
  CheckInside(path, other);
  return 0;
}
