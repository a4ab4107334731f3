#include "core/commit.h"

#include <string_view>

#include "core/paths.h"

namespace tavu {

// The path an item gets: for a file the name and extension joined by a period
// (kept even when the extension is empty); for anything else the name alone.
std::u16string NewPathFor(bool isFile, const std::u16string& oldPath, const std::u16string& name,
                          const std::u16string& ext) {
  auto path = FolderPart(oldPath) + name;
  if (isFile)
    path += u"." + ext;
  return path;
}

bool LeavesNameUnchanged(const std::u16string& oldPath, const std::u16string& newPath) {
  if (newPath == oldPath)
    return true;
  const auto componentEnd = newPath.find_last_of(u"\\:");
  const auto start = componentEnd == std::u16string::npos ? 0 : componentEnd + 1;
  const auto last = newPath.find_last_not_of(u". ");
  // A component of nothing but periods and blanks names no item of its own.
  if (last == std::u16string::npos || last < start)
    return false;
  return std::u16string_view(newPath).substr(0, last + 1) == oldPath;
}

// The rename line: old path, "->", new path.
std::u16string RenameLine(const std::u16string& oldPath, const std::u16string& newPath) {
  return oldPath + u"->" + newPath;
}

// Where a move or copy into folder puts the renamed item; a root such as "E:\" gives one backslash.
std::u16string DestinationFor(const std::u16string& folder, const std::u16string& renamed) {
  return ExcludeTrailingSeparator(folder) + u"\\" + FileNamePart(renamed);
}

// The move or copy line: renamed, " -> ", destination, the mode's word and the outcome's ending.
std::u16string TransferLine(const std::u16string& renamed, const std::u16string& destination,
                            TransferMode mode, TransferOutcome outcome) {
  auto line =
      renamed + u" -> " + destination + (mode == TransferMode::Move ? u" 移動" : u" コピー");
  if (outcome == TransferOutcome::Stopped)
    line += u"中止";
  else if (outcome == TransferOutcome::Failed)
    line += u"失敗";
  return line;
}

// The log's time stamp from the formatted date and time: the date alone at exactly midnight.
std::u16string LogStamp(const std::u16string& date, const std::u16string& time, bool midnight) {
  return midnight ? date : date + u" " + time;
}

// A log line: the stamp, one blank, the text.
std::u16string LogLine(const std::u16string& stamp, const std::u16string& text) {
  return stamp + u" " + text;
}

} // namespace tavu
