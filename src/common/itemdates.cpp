#include "common/itemdates.h"

#include <windows.h>

#include "common/handle.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "core/error.h"
#include "core/timequery.h"

namespace Pelvane {

namespace {

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

std::optional<tavu::CivilDate> LocalDateOf(const FILETIME& utc, const TIME_ZONE_INFORMATION* zone) {
  // The date is read from the converted fields: an offset worked out from
  // them would lose the stamp's fraction of a millisecond and put a stamp
  // in the first minute after local midnight on the day before. The zone's
  // rules apply for the stamp's own date, so summer time counts as it did then.
  SYSTEMTIME utcTime, local;
  if (!FileTimeToSystemTime(&utc, &utcTime) ||
      !SystemTimeToTzSpecificLocalTime(zone, &utcTime, &local))
    return std::nullopt;
  return tavu::CivilDate{local.wYear, local.wMonth, local.wDay};
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
  return LocalDateOf(ft, nullptr).value_or(tavu::kZeroDate);
}

} // namespace Pelvane
