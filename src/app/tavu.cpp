#include <windows.h>

#include <string>

#include "common/pelvane.h"
#include "core/handoff.h"
#include "forms/main.h"
#include "forms/note.h"
#include "toolkit/forms.h"
#include "common/wide.h"

namespace {

const wchar_t kMutexName[] = L"TAVU/Pelvane Project";

// Hands the first argument to the running instance's window, waiting at most
// 50 x 100 ms for it to appear. False when no window showed up.
bool HandOff(const std::vector<std::u16string>& args) {
  HWND target = nullptr;
  for (int i = 0; i < 50 && !target; ++i) {
    Sleep(100);
    target = FindWindowW(AsWide(kMainFormClass), AsWide(kProgramTitle));
  }
  if (!target)
    return false;
  // Static: the record must outlive the blocking send.
  static std::u16string payload;
  static COPYDATASTRUCT record;
  payload = tavu::HandOffPayload(args.front());
  record.dwData = args.size();
  record.cbData = static_cast<DWORD>(payload.size() * sizeof(char16_t));
  record.lpData = payload.data();
  SendMessageW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(tk::Application().Handle()),
               reinterpret_cast<LPARAM>(&record));
  return true;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!Pelvane::EnsureDataFolder(u"TAVU", false))
    return 0;
  auto args = Pelvane::CommandLineArguments();
  if (HANDLE other = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)) {
    CloseHandle(other);
    if (!args.empty() && HandOff(args))
      return 0;
  }
  ScopedKernelHandle marker(CreateMutexW(nullptr, FALSE, kMutexName));

  auto& app = tk::Application();
  try {
    auto mainForm = StartMainWindow(std::move(args));
    auto noteForm = StartNoteWindow(*mainForm);
    app.Run();
  } catch (...) {
    app.HandleException();
  }
  ReleaseMutex(marker.Get());
  return 0;
}
