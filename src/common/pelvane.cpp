#include "common/pelvane.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "core/cmdline.h"
#include "common/handle.h"
#include "common/wide.h"

namespace Pelvane {

std::u16string DataFolder;
std::u16string CommonDataFolder;

namespace {

constexpr int kSpecialFolders[] = {CSIDL_PERSONAL,       CSIDL_APPDATA,    CSIDL_LOCAL_APPDATA,
                                   CSIDL_COMMON_APPDATA, CSIDL_MYPICTURES, CSIDL_COMMON_DOCUMENTS};

bool IsFolder(const std::u16string& path) {
  DWORD a = GetFileAttributesW(AsWide(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folder unless it is there; false, with the reason, when it is
// not there afterwards (another process may have made it meanwhile).
bool MakeFolder(const std::u16string& path, FolderFailure* failure) {
  if (IsFolder(path) || CreateDirectoryW(AsWide(path), nullptr))
    return true;
  const DWORD error = GetLastError();
  if (IsFolder(path))
    return true;
  if (failure)
    *failure = {path, error};
  return false;
}

class Win32FileQueries : public tavu::FileQueries {
public:
  Result Attributes(const std::u16string& path) const override {
    DWORD a = GetFileAttributesW(AsWide(LongPathForm(path)));
    if (a == INVALID_FILE_ATTRIBUTES)
      return {false, GetLastError()};
    return {true, a};
  }
  Result Open(const std::u16string& path, bool folder) const override {
    ScopedFileHandle h(CreateFileW(AsWide(LongPathForm(path)), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0,
                                   nullptr));
    if (!h)
      return {false, GetLastError()};
    return {true, 0};
  }
  Result Find(const std::u16string& path) const override {
    WIN32_FIND_DATAW fd;
    ScopedFindHandle h(FindFirstFileW(AsWide(LongPathForm(path)), &fd));
    if (!h)
      return {false, GetLastError()};
    return {true, fd.dwFileAttributes};
  }
};

} // namespace

namespace {
HRESULT SpecialFolder(std::uint8_t index, std::u16string& path) {
  path.clear();
  if (index >= std::size(kSpecialFolders))
    return E_INVALIDARG;
  wchar_t buf[MAX_PATH + 1] = {};
  // A failed query leaves no defined text: the result is then empty rather
  // than some other folder.
  const HRESULT hr =
      SHGetFolderPathW(nullptr, kSpecialFolders[index], nullptr, SHGFP_TYPE_CURRENT, buf);
  if (SUCCEEDED(hr))
    path = ToU16(buf);
  return hr;
}
// Where the known folder is meant to be, whether or not it is there: the
// shell refuses to name a folder that it cannot find.
std::u16string UnverifiedFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::u16string out;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)))
    out = ToU16(path);
  CoTaskMemFree(path);
  return out;
}
} // namespace

std::u16string GetSpecialFolder(std::uint8_t index) {
  std::u16string path;
  SpecialFolder(index, path);
  return path;
}

bool EnsureDataFolder(const std::u16string& name, bool allUsers, FolderFailure* failure) {
  std::u16string base;
  const HRESULT hr = SpecialFolder(allUsers ? 3 : 1, base);
  // A folder that is not there (on a drive that is gone, say) is still the
  // place to try, so that the failure names what could not be made.
  if (base.empty())
    base = UnverifiedFolder(allUsers ? FOLDERID_ProgramData : FOLDERID_RoamingAppData);
  const std::u16string own = u"\\Pelvane Project\\" + name;
  if (base.empty()) {
    // No folder to name but the one the program wanted to make there.
    if (failure)
      *failure = {(allUsers ? u"%ALLUSERSPROFILE%" : u"%APPDATA%") + own,
                  HRESULT_FACILITY(hr) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(hr))
                                                         : ERROR_PATH_NOT_FOUND};
    return false;
  }
  const std::u16string path = base + own;
  (allUsers ? CommonDataFolder : DataFolder) = path + u"\\";
  return MakeFolder(base + u"\\Pelvane Project", failure) && MakeFolder(path, failure);
}

std::u16string LongPathForm(const std::u16string& path) {
  if (path.size() < MAX_PATH)
    return path;
  // The extended form is taken literally: resolve "." and "..", forward
  // slashes and a name's trailing periods and blanks first, as Win32 would.
  std::u16string full(path.size() + 16, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFullPathNameW(AsWide(path), static_cast<DWORD>(full.size()),
                                     AsWideBuffer(full), nullptr);
    if (n == 0)
      return path;
    if (n < full.size()) {
      full.resize(n);
      const std::u16string extended = tavu::ExtendedLengthPath(full);
      return extended.empty() ? path : extended;
    }
    full.assign(n, u'\0');
  }
  return path;
}

bool RunsUnderWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

const tavu::FileQueries& SystemFileQueries() {
  static const Win32FileQueries queries;
  return queries;
}

bool IsDriveReady(const std::u16string& path) {
  auto q = tavu::ClassifyDrive(path);
  if (q.kind != tavu::DriveQuery::AskRoot)
    return q.kind == tavu::DriveQuery::Ready;
  // A drive without a medium would otherwise ask the user to insert one.
  ErrorModeScope silent(SEM_FAILCRITICALERRORS);
  ULARGE_INTEGER available, total;
  return GetDiskFreeSpaceExW(AsWide(q.root), &available, &total, nullptr) != FALSE;
}

bool FileExistsOnDisk(const std::u16string& path) {
  return tavu::FileExistsWith(SystemFileQueries(), path);
}

bool FolderExistsOnDisk(const std::u16string& path) {
  return tavu::FolderExistsWith(SystemFileQueries(), path);
}

bool IsExistingFile(const std::u16string& path) {
  return IsDriveReady(path) && FileExistsOnDisk(path);
}

bool IsExistingFolder(const std::u16string& path) {
  return IsDriveReady(path) && FolderExistsOnDisk(path);
}

tavu::ItemKind KindOf(const std::u16string& path) {
  if (IsExistingFile(path))
    return tavu::ItemKind::File;
  if (IsExistingFolder(path))
    return tavu::ItemKind::Folder;
  return tavu::ItemKind::Missing;
}

// LCMapStringW into `out` (resized to what was written): one call when the
// guessed size fits, the size query only when it does not. Drops call this
// once or twice per path, so the second call matters.
template <class Out>
void MapString(LCID locale, DWORD flags, const std::u16string& in, Out& out, int guess) {
  auto call = [&](int size) {
    return LCMapStringW(locale, flags, AsWide(in), static_cast<int>(in.size()),
                        size ? reinterpret_cast<wchar_t*>(out.data()) : nullptr, size);
  };
  out.resize(static_cast<std::size_t>(guess));
  int n = call(guess);
  if (n <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    n = call(0);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    n = n > 0 ? call(n) : 0;
  }
  out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
}

std::u16string FoldPathCase(const std::u16string& path) {
  // Plain ASCII folds the same way without the system call, and most paths
  // of a large drop are plain ASCII.
  if (std::all_of(path.begin(), path.end(), [](char16_t c) { return c < 0x80; })) {
    std::u16string out = path;
    for (auto& c : out)
      if (c >= u'a' && c <= u'z')
        c = static_cast<char16_t>(c - 32);
    return out;
  }
  std::u16string out;
  MapString(LOCALE_INVARIANT, LCMAP_UPPERCASE, path, out, static_cast<int>(path.size()) + 8);
  return out.empty() ? path : out;
}

std::string PathSortKey(const std::u16string& path) {
  if (path.empty())
    return {};
  std::string key;
  // Key size in bytes; the guess covers every level for plain text.
  MapString(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, path, key,
            static_cast<int>(path.size()) * 6 + 16);
  return key;
}

std::vector<std::u16string> CommandLineArguments() {
  auto args = tavu::SplitCommandLine(ToU16(GetCommandLineW()));
  if (!args.empty())
    args.erase(args.begin());
  return args;
}

bool SetTopMost(HWND wnd, bool topMost) {
  return SetWindowPos(wnd, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                      SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW) != FALSE;
}

HWND NextVisibleWindow(HWND wnd) {
  do {
    wnd = GetWindow(wnd, GW_HWNDNEXT);
  } while (wnd && !(GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE));
  return wnd;
}

namespace {
TaskbarQuery taskbarQuery = nullptr;
ErrorModeSetter errorModeSetter = nullptr;

UINT SetMode(UINT mode) {
  return (errorModeSetter ? errorModeSetter : ::SetErrorMode)(mode);
}
} // namespace

TaskbarQuery UseTaskbarQuery(TaskbarQuery query) {
  return std::exchange(taskbarQuery, query);
}

bool IsTaskbarAlwaysOnTop() {
  if (taskbarQuery)
    return taskbarQuery();
  APPBARDATA abd{};
  abd.cbSize = sizeof abd;
  return (SHAppBarMessage(ABM_GETSTATE, &abd) & ABS_ALWAYSONTOP) != 0;
}

ErrorModeSetter UseErrorModeSetter(ErrorModeSetter setter) {
  return std::exchange(errorModeSetter, setter);
}

ErrorModeScope::ErrorModeScope(UINT mode) : previous_(SetMode(mode)) {}

ErrorModeScope::~ErrorModeScope() {
  SetMode(previous_);
}

std::optional<FileIdentity> IdentityOf(const std::u16string& path) {
  ScopedFileHandle h(CreateFileW(AsWide(LongPathForm(path)), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!h || !GetFileInformationByHandle(h.Get(), &info))
    return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

} // namespace Pelvane
