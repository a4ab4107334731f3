#include "core/commit.h"

#include <string_view>

#include "core/paths.h"

namespace tavu {

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

std::u16string RenameLine(const std::u16string& oldPath, const std::u16string& newPath) {
  return oldPath + u"->" + newPath;
}

std::u16string DestinationFor(const std::u16string& folder, const std::u16string& renamed) {
  return ExcludeTrailingSeparator(folder) + u"\\" + FileNamePart(renamed);
}

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

std::u16string LogStamp(const std::u16string& date, const std::u16string& time, bool midnight) {
  return midnight ? date : date + u" " + time;
}

std::u16string LogLine(const std::u16string& stamp, const std::u16string& text) {
  return stamp + u" " + text;
}

} // namespace tavu
