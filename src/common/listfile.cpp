#include "common/listfile.h"

#include "common/filesteps.h"
#include "common/handle.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "core/commit.h"
#include "core/error.h"
#include "core/paths.h"

namespace Pelvane {

namespace {

class Win32AnsiCodePage : public tavu::CodePage {
public:
  std::u16string Decode(std::string_view bytes) const override {
    if (bytes.empty())
      return {};
    int size = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0)
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, AsWideBuffer(out), n);
    return out;
  }
  std::string Encode(const std::u16string& text) const override {
    if (text.empty())
      return {};
    int size = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, 0, AsWide(text), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
      WideCharToMultiByte(CP_ACP, 0, AsWide(text), size, out.data(), n, nullptr, nullptr);
    return out;
  }
};

[[noreturn]] void ThrowCannotOpen(const std::u16string& path, DWORD error) {
  throw tavu::Exception(tavu::CannotOpenText(path, SystemMessage(error)));
}
[[noreturn]] void ThrowCannotCreate(const std::u16string& path, DWORD error) {
  throw tavu::Exception(tavu::CannotCreateText(path, SystemMessage(error)));
}

// The error of the step that just failed; a step that failed without saying
// why still fails, with `fallback`.
DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : fallback;
}

// How long a writer waits for another program to let go of its file, and
// how often it looks.
constexpr ULONGLONG kBusyWaitMs = 1000;
constexpr DWORD kBusyPollMs = 50;

void EnterProgramFolder() {
  SetCurrentDirectoryW(AsWide(ProgramFolder()));
}

} // namespace

std::string ReadWholeFile(const std::u16string& path, std::size_t limit) {
  FileSteps& files = Files();
  // Others may go on reading it, but nobody may write while we read. A
  // failed close loses nothing here, so its result does not matter.
  StepFile file(files, files.OpenToRead(path, FILE_SHARE_READ));
  if (!file)
    ThrowCannotOpen(path, LastErrorOr(ERROR_OPEN_FAILED));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size))
    ThrowCannotOpen(path, ERROR_NOT_ENOUGH_MEMORY);
  const auto wanted = std::min<ULONGLONG>(static_cast<ULONGLONG>(size.QuadPart), limit);
  if (wanted > 0x7FFFFFFF)
    ThrowCannotOpen(path, ERROR_NOT_ENOUGH_MEMORY);
  std::string bytes(static_cast<std::size_t>(wanted), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!files.Read(file.Get(), bytes.data() + done, want, got))
      ThrowCannotOpen(path, LastErrorOr(ERROR_READ_FAULT));
    if (got == 0)
      break; // the file shrank under us; keep what was there
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

// A crash, a full disk or any failed step leaves the old file or the new
// one, never a torn one, and nothing beside it.
void ReplaceFileBytes(const std::u16string& path, const std::string& bytes) {
  FileSteps& files = Files();
  const std::u16string temp = path + u".new";
  // One left by a write that never finished (a crash, a lost power) holds
  // nothing of value, and must not stand in the way, read-only or hidden.
  files.Remove(temp);
  DWORD error = ERROR_SUCCESS;
  {
    StepFile file(files, files.Create(temp));
    if (!file)
      ThrowCannotCreate(path, LastErrorOr(ERROR_CANNOT_MAKE));
    for (std::size_t done = 0; done < bytes.size() && !error;) {
      DWORD wrote = 0;
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
      // A full disk takes part of the data and refuses the rest.
      if (!files.Write(file.Get(), bytes.data() + done, want, wrote) || wrote == 0)
        error = LastErrorOr(ERROR_WRITE_FAULT);
      done += wrote;
    }
    if (!error && !files.Flush(file.Get()))
      error = LastErrorOr(ERROR_WRITE_FAULT);
    // The close can be the first to tell that the data never reached the disk.
    if (!file.Close() && !error)
      error = LastErrorOr(ERROR_WRITE_FAULT);
  }
  if (!error && !files.Replace(temp, path))
    error = LastErrorOr(ERROR_WRITE_FAULT);
  if (error) {
    files.Remove(temp);
    ThrowCannotCreate(path, error);
  }
}

const tavu::CodePage& AnsiCodePage() {
  static const Win32AnsiCodePage codePage;
  return codePage;
}

std::u16string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = n ? ToU16(buffer, n) : std::u16string();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' '))
    text.pop_back();
  return text;
}

std::u16string ProgramFolder() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, AsWideBuffer(path), static_cast<DWORD>(path.size()));
    if (n == 0)
      return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return tavu::FolderOf(path);
}

int LoadList(std::vector<std::u16string>& list, const std::u16string& path,
             tavu::TextEncoding encoding) {
  list.clear();
  if (IsExistingFile(path))
    list = tavu::SplitLines(tavu::DecodeText(ReadWholeFile(path), encoding, AnsiCodePage()));
  int count = static_cast<int>(list.size());
  EnterProgramFolder();
  return count;
}

bool SaveListIfFree(const std::vector<std::u16string>& list, const std::u16string& path,
                    tavu::TextEncoding encoding) {
  // Free when missing, or when nobody else has it open: a test, not a lock.
  // Viewers, indexers and virus scanners read a file for a moment while
  // letting others read it too: wait for them a little before giving up.
  const ULONGLONG deadline = GetTickCount64() + kBusyWaitMs;
  for (;;) {
    DWORD error;
    {
      StepFile probe(Files(), Files().OpenToRead(path, 0));
      error = probe ? ERROR_SUCCESS : LastErrorOr(ERROR_SHARING_VIOLATION);
      if (probe || !IsExistingFile(path))
        break;
    }
    if (error != ERROR_SHARING_VIOLATION || GetTickCount64() >= deadline)
      ThrowCannotCreate(path, error);
    Sleep(kBusyPollMs);
  }
  ReplaceFileBytes(path, tavu::EncodeText(tavu::JoinLinesCrLf(list), encoding, AnsiCodePage()));
  EnterProgramFolder();
  return true;
}

std::u16string LogTimeStamp() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  wchar_t date[128] = {}, time[128] = {};
  int dn =
      GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128, nullptr);
  int tn = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, time, 128);
  bool midnight = st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0 && st.wMilliseconds == 0;
  return tavu::LogStamp(ToU16(date, static_cast<std::size_t>(dn > 0 ? dn - 1 : 0)),
                        ToU16(time, static_cast<std::size_t>(tn > 0 ? tn - 1 : 0)), midnight);
}

void CreateEmptyFile(const std::u16string& path) {
  ScopedFileHandle h(CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h)
    return;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_EXISTS && IsExistingFile(path))
    return;
  throw tavu::Exception(tavu::CannotCreateText(path, SystemMessage(error)));
}

} // namespace Pelvane
