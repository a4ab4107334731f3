#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/names.h"
#include "core/paths.h"

// The program's utility module: data folder, existence tests and window helpers.
namespace Pelvane {

using tavu::ExcludeTrailingSeparator;
using tavu::ExtPart;
using tavu::FileNamePart;
using tavu::FolderOf;
using tavu::FolderPart;
using tavu::LastCharPos;
using tavu::NameWithoutExt;

// The full path of the data folder with a trailing backslash; set once at start-up.
extern std::u16string DataFolder;
extern std::u16string CommonDataFolder;

// The special folder of table row `index` (documents, roaming and local
// application data, shared application data, pictures, shared documents),
// without a trailing backslash; empty when the index or the query fails.
std::u16string GetSpecialFolder(std::uint8_t index);
// Which folder could not be made, and the system's error for it.
struct FolderFailure {
  std::u16string folder;
  DWORD error = ERROR_SUCCESS;
};
// Creates "Pelvane Project\<name>" under the application data folder where
// missing, stores it in DataFolder and reports whether it now exists; when
// it does not, `failure` (if given) names the folder that could not be made.
bool EnsureDataFolder(const std::u16string& name, bool allUsers, FolderFailure* failure = nullptr);

// The path as the file functions take it at its length: a path of MAX_PATH
// characters or more in its full extended-length form ("\\?\"), anything
// shorter (or without such a form) as it is.
std::u16string LongPathForm(const std::u16string& path);

// True when the program runs under Wine, whose ntdll tells its version.
bool RunsUnderWine();

// True when the path's drive answers a size query (no system dialog), or the
// path starts with a backslash.
bool IsDriveReady(const std::u16string& path);
bool IsExistingFile(const std::u16string& path);
bool IsExistingFolder(const std::u16string& path);
bool FileExistsOnDisk(const std::u16string& path);
bool FolderExistsOnDisk(const std::u16string& path);
// What is at the path now: a file, a folder or nothing (a drive not ready
// holds nothing).
tavu::ItemKind KindOf(const std::u16string& path);
// The file-system queries the existence rules run on.
const tavu::FileQueries& SystemFileQueries();

// Folds letter case as the file system compares names (ordinal, invariant upper case).
std::u16string FoldPathCase(const std::u16string& path);
// A sort key whose byte order is the user-locale order ignoring case.
std::string PathSortKey(const std::u16string& path);
// The command-line arguments, split by the program's own rule, without the program name.
std::vector<std::u16string> CommandLineArguments();

// Always on top, or back to normal stacking; reports whether it worked.
bool SetTopMost(HWND wnd, bool topMost);
// The next window below `wnd` in the Z order with the WS_VISIBLE style, or 0.
HWND NextVisibleWindow(HWND wnd);
bool IsTaskbarAlwaysOnTop();
// Puts `query` in place of the taskbar's own answer (nullptr: the taskbar's
// again) and returns the one that was in use (nullptr for the taskbar's).
using TaskbarQuery = bool (*)();
TaskbarQuery UseTaskbarQuery(TaskbarQuery query);

// What identifies a file or folder on its volume, whatever path names it.
struct FileIdentity {
  DWORD volume;
  std::uint64_t index;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::u16string& path);

// How the process error mode is set, as SetErrorMode. UseErrorModeSetter puts
// `setter` in use (nullptr: SetErrorMode again) and returns the one that was
// in use (nullptr for SetErrorMode), so that a test can watch the switches.
using ErrorModeSetter = UINT(WINAPI*)(UINT mode);
ErrorModeSetter UseErrorModeSetter(ErrorModeSetter setter);

// Sets the process error mode while it lives and puts the previous one back.
class ErrorModeScope {
public:
  explicit ErrorModeScope(UINT mode);
  ~ErrorModeScope();
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

private:
  UINT previous_;
};

} // namespace Pelvane
