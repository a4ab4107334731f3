#pragma once
#include <string>

namespace tavu {

// The pure parts of a commit: the new path, the destination and the log texts.

// The path an item gets: for a file the name and extension joined by a period
// (kept even when the extension is empty); for anything else the name alone.
std::u16string NewPathFor(bool isFile, const std::u16string& oldPath, const std::u16string& name,
                          const std::u16string& ext);
// Whether newPath names the item at oldPath as it is: the same path, or one
// that Win32 resolves to it by dropping the periods and blanks that end its
// last component ("C:\d\README." is C:\d\README). Letter case counts.
bool LeavesNameUnchanged(const std::u16string& oldPath, const std::u16string& newPath);

// The rename line: old path, "->", new path.
std::u16string RenameLine(const std::u16string& oldPath, const std::u16string& newPath);

// Where a move or copy into folder puts the renamed item; a root such as "E:\" gives one backslash.
std::u16string DestinationFor(const std::u16string& folder, const std::u16string& renamed);

enum class TransferMode { Move, Copy };
enum class TransferOutcome { Done, Stopped, Failed };
// The move or copy line: renamed, " -> ", destination, the mode's word and the outcome's ending.
std::u16string TransferLine(const std::u16string& renamed, const std::u16string& destination,
                            TransferMode mode, TransferOutcome outcome);

// The log's time stamp from the formatted date and time: the date alone at exactly midnight.
std::u16string LogStamp(const std::u16string& date, const std::u16string& time, bool midnight);
// A log line: the stamp, one blank, the text.
std::u16string LogLine(const std::u16string& stamp, const std::u16string& text);

} // namespace tavu
