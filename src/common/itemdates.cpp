#include "common/itemdates.h"

#include <windows.h>

#include "common/handle.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "core/error.h"
#include "core/timequery.h"

namespace Pelvane {

namespace {

tavu::FileTicks TicksOf(const FILETIME& ft) {
  return (static_cast<tavu::FileTicks>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FileTimeOf(tavu::FileTicks ticks) {
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Minutes local time is ahead of UTC at that instant, in the current time zone.
std::optional<std::int32_t> UtcOffsetAt(tavu::FileTicks utc) {
  const FILETIME ft = FileTimeOf(utc);
  SYSTEMTIME utcTime, localTime;
  FILETIME localFt;
  if (!FileTimeToSystemTime(&ft, &utcTime) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) ||
      !SystemTimeToFileTime(&localTime, &localFt))
    return std::nullopt;
  const auto local = static_cast<std::int64_t>(TicksOf(localFt));
  return static_cast<std::int32_t>((local - static_cast<std::int64_t>(utc)) /
                                   static_cast<std::int64_t>(tavu::kTicksPerMinute));
}

struct Stamps {
  FILETIME creation;
  FILETIME lastWrite;
};

// The item's time stamps, those of a link's target for a link.
std::optional<Stamps> ReadStamps(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &data))
    return std::nullopt;
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return Stamps{data.ftCreationTime, data.ftLastWriteTime};
  // Opening without FILE_FLAG_OPEN_REPARSE_POINT follows the link.
  ScopedFileHandle target(CreateFileW(AsWide(path), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!target || !GetFileInformationByHandle(target.Get(), &info))
    return std::nullopt;
  return Stamps{info.ftCreationTime, info.ftLastWriteTime};
}

} // namespace

tavu::CivilDate Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

bool TakesLongPaths() {
  // GetVersionEx answers what the manifest lets it; the kernel's own call tells the truth.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  static const bool takes = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                          reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")))
                    : nullptr;
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!fn || fn(&v) != 0)
      return false;
    return v.dwMajorVersion > 10 || (v.dwMajorVersion == 10 && v.dwBuildNumber >= 14393);
  }();
  return takes;
}

tavu::CivilDate ItemDate(const std::u16string& path, bool folder, tavu::DateSource source) {
  if (source == tavu::DateSource::Today)
    return Today();
  if (auto refusal = tavu::TimeQueryRefusal(SystemFileQueries(), path, folder, TakesLongPaths()))
    throw tavu::Exception(*refusal);
  const auto stamps = ReadStamps(path);
  if (!stamps)
    return tavu::kZeroDate;
  const FILETIME& ft = source == tavu::DateSource::Creation ? stamps->creation : stamps->lastWrite;
  return tavu::LocalDateOfFileTime(TicksOf(ft), UtcOffsetAt);
}

} // namespace Pelvane
