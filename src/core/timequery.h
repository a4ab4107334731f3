#pragma once
#include <optional>
#include <string>

#include "core/paths.h"

namespace tavu {

// The message with which the query for an item's creation and last write
// times refuses the path before reading anything, or none when it may read.
// `folder`: the item is a folder, else a file. `longPaths`: the platform takes
// paths of any length without the extended-length prefix ("\\?\"). The file
// system is asked, through `fs`, only once the text itself passes.
std::optional<std::u16string> TimeQueryRefusal(const FileQueries& fs, const std::u16string& path,
                                               bool folder, bool longPaths);

} // namespace tavu
