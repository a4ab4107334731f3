#include <windows.h>

#include <string>

#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/shellops.h"
#include "core/error.h"
#include "core/handoff.h"
#include "forms/main.h"
#include "forms/note.h"
#include "toolkit/forms.h"
#include "common/wide.h"

namespace {

const wchar_t kMutexName[] = L"TAVU/Pelvane Project";

// Milliseconds on the performance counter, for waits shorter than a tick.
double NowMs() {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// Hands the first argument to the running instance's window, waiting at most
// 50 x 100 ms for it to appear. False when no window showed up.
bool HandOff(const std::vector<std::u16string>& args) {
  // The application window that goes with the record is made during the
  // first pause rather than after the search: under Wine a process's first
  // window starts its display driver (about 30 ms), while the first search
  // still comes 100 ms after the marker was found.
  const double pauseEnd = NowMs() + 100;
  HWND self = tk::Application().Handle();
  HWND target = nullptr;
  for (int i = 0; i < 50 && !target; ++i) {
    const double left = i == 0 ? pauseEnd - NowMs() : 100;
    if (left > 0)
      Sleep(static_cast<DWORD>(left + 0.999));
    target = FindWindowW(AsWide(kMainFormClass), AsWide(kProgramTitle));
  }
  if (!target)
    return false;
  // The send blocks until the running window has handled the record, so it
  // can live on this stack.
  std::u16string payload = tavu::HandOffPayload(args.front());
  COPYDATASTRUCT record{};
  record.dwData = args.size();
  record.cbData = static_cast<DWORD>(payload.size() * sizeof(char16_t));
  record.lpData = payload.data();
  SendMessageW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(self),
               reinterpret_cast<LPARAM>(&record));
  return true;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  auto args = Pelvane::CommandLineArguments();
  auto& app = tk::Application();
  // Named before the hand-off makes its window, which stays this program's
  // application window when no running one answers.
  app.Title = kProgramTitle;
  // A launch that hands its path to the running window needs no data folder
  // of its own.
  if (HANDLE other = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)) {
    CloseHandle(other);
    if (!args.empty() && HandOff(args))
      return 0;
  }
  Pelvane::FolderFailure failure;
  if (!Pelvane::EnsureDataFolder(u"TAVU", false, &failure)) {
    // Without it nothing could be kept; say so rather than drop the paths
    // the user meant to rename.
    app.ShowError(
        tavu::CannotMakeFolderText(failure.folder, Pelvane::SystemMessage(failure.error)));
    return 1;
  }
  ScopedKernelHandle marker(CreateMutexW(nullptr, FALSE, kMutexName));
  const Pelvane::OleScope ole;

  try {
    auto mainForm = StartMainWindow(std::move(args));
    mainForm->StartNoteWindow();
    app.Run();
  } catch (...) {
    app.HandleException();
  }
  // Releases nothing (the mutex was never owned) and is harmless; closing
  // the handle is what ends the marker. Kept as the program always did it.
  ReleaseMutex(marker.Get());
  return 0;
}
