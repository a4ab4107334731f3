#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "core/dates.h"

namespace Pelvane {

// Today's date on the local clock.
tavu::CivilDate Today();

// Whether the platform takes paths of any length without the "\\?\" prefix
// (Windows 10 build 14393 on).
bool TakesLongPaths();

// The local date of a UTC file time in `zone` (null: the current time zone);
// none when the platform cannot convert it.
std::optional<tavu::CivilDate> LocalDateOf(const FILETIME& utc, const TIME_ZONE_INFORMATION* zone);

// The local date of an item's last write or creation time (`source`), links
// followed; the zero date when the time stamps cannot be read. Throws
// tavu::Exception with the refusal's message when the time query refuses the
// path (malformed, too long, or the item or its folder missing).
tavu::CivilDate ItemDate(const std::u16string& path, bool folder, tavu::DateSource source);

} // namespace Pelvane
