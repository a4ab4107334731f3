// Start-up and hand-off of real tavu.exe processes against bare programs
// built beside it:
//  (a) launch with one path until the main window accepts input
//      (WaitForInputIdle), against bench_bare_window.exe;
//  (b) a second launch with a path while one runs, until the path is in the
//      running window's list box, against bench_bare_handoff.exe plus the
//      100 ms that TAVU waits before its first search for the window;
//  (c) launch with one path and a word list of 10,000 entries, against the
//      same launch with an empty word list.
// Prints medians and the ratios against their goals; never fails on time.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "timing.h"

namespace {

constexpr DWORD kDeadlineMs = 10000;
constexpr int kRuns = 21;
constexpr double kGoalLaunch = 1.2;
constexpr double kGoalHandOff = 1.15;
constexpr double kGoalWordList = 1.25;
// TAVU pauses this long before it first looks for the running window; the
// bare sender looks at once.
constexpr double kHandOffPauseMs = 100;
constexpr int kWordListEntries = 10000;
// Time for a window that has just come up (or gone) to finish with the
// display before the next timed step, so one run does not bleed into the next.
constexpr DWORD kSettleMs = 250;

const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

using bench::Median;
using bench::NowMs;

std::wstring ProgramFolder() {
  wchar_t buf[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path = buf;
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..")
        continue;
      std::wstring child = path + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

// Points the roaming application data folder somewhere else while it lives,
// so the benchmark leaves the prefix's own data folder alone.
class AppDataRedirect {
public:
  explicit AppDataRedirect(const std::wstring& folder) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
      return;
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    if (RegQueryValueExW(key_, L"AppData", nullptr, &type_, reinterpret_cast<BYTE*>(buf), &size) ==
        ERROR_SUCCESS)
      original_ = buf;
    if (original_.empty() || original_.find(L"tavu-bench-") != std::wstring::npos) {
      original_ = L"%USERPROFILE%\\AppData\\Roaming";
      type_ = REG_EXPAND_SZ;
    }
    Set(REG_EXPAND_SZ, folder);
  }
  ~AppDataRedirect() {
    if (!key_)
      return;
    Set(type_, original_);
    RegCloseKey(key_);
  }
  AppDataRedirect(const AppDataRedirect&) = delete;
  AppDataRedirect& operator=(const AppDataRedirect&) = delete;

private:
  void Set(DWORD type, const std::wstring& value) {
    RegSetValueExW(key_, L"AppData", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  HKEY key_ = nullptr;
  DWORD type_ = REG_EXPAND_SZ;
  std::wstring original_;
};

struct Child {
  HANDLE process = nullptr;
  DWORD pid = 0;
};

int g_problems = 0;

bool Start(const std::wstring& exe, const std::wstring& tail, Child* out) {
  std::wstring line = L"\"" + exe + L"\"" + (tail.empty() ? L"" : L" " + tail);
  std::vector<wchar_t> buf(line.begin(), line.end());
  buf.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // No console for the bare programs either, as for a GUI program.
  if (!CreateProcessW(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                      nullptr, &si, &pi)) {
    ++g_problems;
    return false;
  }
  CloseHandle(pi.hThread);
  out->process = pi.hProcess;
  out->pid = pi.dwProcessId;
  return true;
}

struct Lookup {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND wnd, LPARAM lp) {
  auto* l = reinterpret_cast<Lookup*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  if (pid == l->pid && std::wstring(cls) == l->cls) {
    l->found = wnd;
    return FALSE;
  }
  return TRUE;
}

// The child's top-level window of class `cls`, waiting at most `waitMs` for it.
HWND WindowOf(const Child& c, const wchar_t* cls, DWORD waitMs = kDeadlineMs) {
  Lookup l{c.pid, cls, nullptr};
  const double deadline = NowMs() + waitMs;
  for (;;) {
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&l));
    if (l.found || NowMs() >= deadline)
      return l.found;
    Sleep(1);
  }
}

BOOL CALLBACK MatchListBox(HWND wnd, LPARAM lp) {
  wchar_t cls[16] = {};
  GetClassNameW(wnd, cls, 16);
  // TAVU's controls are superclasses named after their system class.
  if (std::wstring(cls) == L"ListBox" || std::wstring(cls) == L"TAVU.ListBox") {
    *reinterpret_cast<HWND*>(lp) = wnd;
    return FALSE;
  }
  return TRUE;
}

HWND ListBoxOf(HWND top) {
  HWND list = nullptr;
  EnumChildWindows(top, MatchListBox, reinterpret_cast<LPARAM>(&list));
  return list;
}

LRESULT CountOf(HWND list) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 1000, &count))
    return -1;
  return static_cast<LRESULT>(count);
}

// Ends a child: WM_CLOSE to its window, then a bounded wait (and, past it, force).
void Finish(Child& c, HWND wnd) {
  if (wnd)
    PostMessageW(wnd, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(c.process, kDeadlineMs) != WAIT_OBJECT_0) {
    ++g_problems;
    TerminateProcess(c.process, 1);
    WaitForSingleObject(c.process, kDeadlineMs);
  }
  CloseHandle(c.process);
  c = Child{};
}

// One launch: the time from CreateProcess until the program waits for input.
double LaunchToIdle(const std::wstring& exe, const std::wstring& tail, const wchar_t* cls) {
  Child c;
  const double t0 = NowMs();
  if (!Start(exe, tail, &c))
    return -1;
  DWORD idle = WaitForInputIdle(c.process, kDeadlineMs);
  const double t1 = NowMs();
  // Idle before its window is up would mean the figure measured too little.
  HWND wnd = WindowOf(c, cls, 0);
  if (idle != 0 || !wnd || !IsWindowVisible(wnd)) {
    ++g_problems;
    wnd = WindowOf(c, cls);
  }
  Finish(c, wnd);
  Sleep(kSettleMs);
  return idle == 0 ? t1 - t0 : -1;
}

// One hand-off: a receiver is started and settled (not timed); then the
// time from the sender's CreateProcess until the path is in the receiver's list.
double HandOff(const std::wstring& exe, const std::wstring& path, const wchar_t* cls) {
  Child receiver;
  if (!Start(exe, L"", &receiver))
    return -1;
  WaitForInputIdle(receiver.process, kDeadlineMs);
  HWND wnd = WindowOf(receiver, cls);
  HWND list = wnd ? ListBoxOf(wnd) : nullptr;
  Sleep(kSettleMs);
  double ms = -1;
  if (list && CountOf(list) == 0) {
    Child sender;
    const double t0 = NowMs();
    if (Start(exe, L"\"" + path + L"\"", &sender)) {
      const double deadline = t0 + kDeadlineMs;
      while (NowMs() < deadline && CountOf(list) < 1)
        Sleep(1);
      const double t1 = NowMs();
      if (CountOf(list) >= 1)
        ms = t1 - t0;
      DWORD code = 1;
      if (WaitForSingleObject(sender.process, kDeadlineMs) != WAIT_OBJECT_0 ||
          !GetExitCodeProcess(sender.process, &code) || code != 0)
        ++g_problems;
      Finish(sender, nullptr);
    }
  }
  if (ms < 0)
    ++g_problems;
  Finish(receiver, wnd);
  Sleep(kSettleMs);
  return ms;
}

void Line(const char* label, const std::vector<double>& runs) {
  std::printf("  %-28s median %8.1f ms  (min %.1f, max %.1f, %zu runs)\n", label, Median(runs),
              runs.empty() ? 0 : *std::min_element(runs.begin(), runs.end()),
              runs.empty() ? 0 : *std::max_element(runs.begin(), runs.end()), runs.size());
}

// The ratio of the two medians, the floor's raised by `floorExtraMs`.
void Report(const char* what, const char* tavuLabel, const std::vector<double>& tavu,
            const char* floorLabel, const std::vector<double>& floor, double goal,
            double floorExtraMs = 0) {
  std::printf("%s\n", what);
  Line(tavuLabel, tavu);
  Line(floorLabel, floor);
  const double mf = Median(floor) + floorExtraMs;
  if (floorExtraMs > 0)
    std::printf("  floor: %.1f ms + %.0f ms = %.1f ms\n", Median(floor), floorExtraMs, mf);
  const double ratio = mf > 0 ? Median(tavu) / mf : 0;
  std::printf("  ratio %.2fx (goal <= %.2fx: %s)\n\n", ratio, goal,
              ratio <= goal ? "met" : "missed");
}

// A word list as a user might keep one: UTF-8 with its mark, entries of
// mixed scripts and lengths.
void WriteWordList(const std::wstring& path, int entries) {
  std::wstring text = L"\uFEFF";
  for (int i = 0; i < entries; ++i) {
    text += (i % 3 == 0)   ? L"写真_" + std::to_wstring(i) + L"_旅行"
            : (i % 3 == 1) ? L"Project report " + std::to_wstring(i) + L" (final)"
                           : L"会議資料-" + std::to_wstring(i);
    text += L"\r\n";
  }
  std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr),
                    '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                      static_cast<int>(bytes.size()), nullptr, nullptr);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    std::printf("the word list %ls could not be written\n", path.c_str());
    return;
  }
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
}

void Keep(std::vector<double>& into, double ms) {
  if (ms >= 0)
    into.push_back(ms);
}

} // namespace

int wmain() {
  const std::wstring folder = ProgramFolder();
  const std::wstring tavu = folder + L"tavu.exe";
  const std::wstring bareWindow = folder + L"bench_bare_window.exe";
  const std::wstring bareHandOff = folder + L"bench_bare_handoff.exe";
  if (GetFileAttributesW(tavu.c_str()) == INVALID_FILE_ATTRIBUTES ||
      GetFileAttributesW(bareWindow.c_str()) == INVALID_FILE_ATTRIBUTES ||
      GetFileAttributesW(bareHandOff.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "tavu.exe or the bare programs are missing beside this program\n");
    return 2;
  }

  wchar_t base[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, base);
  const std::wstring temp =
      std::wstring(base) + L"tavu-bench-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring roaming = temp + L"\\Roaming";
  const std::wstring path = temp + L"\\bench file.txt";
  CreateDirectoryW(temp.c_str(), nullptr);
  CreateDirectoryW(roaming.c_str(), nullptr);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE)
    CloseHandle(f);

  std::vector<double> launchTavu, launchBare, handTavu, handBare, withWords, withoutWords;
  const std::wstring note = roaming + L"\\Pelvane Project\\TAVU\\TAVU-Note.txt";
  const std::wstring fullList = temp + L"\\words.txt";
  const std::wstring emptyList = temp + L"\\empty.txt";
  WriteWordList(fullList, kWordListEntries);
  WriteWordList(emptyList, 0);
  {
    AppDataRedirect redirect(roaming);
    const std::wstring quoted = L"\"" + path + L"\"";
    // One untimed round first: the data folder, the loader's caches.
    LaunchToIdle(tavu, quoted, L"TMainForm");
    LaunchToIdle(bareWindow, quoted, L"BareForm");
    HandOff(tavu, path, L"TMainForm");
    HandOff(bareHandOff, path, L"BareReceiver");
    g_problems = 0;
    // Alternating, so that a slow spell of the machine hits both sides.
    for (int i = 0; i < kRuns; ++i) {
      Keep(launchTavu, LaunchToIdle(tavu, quoted, L"TMainForm"));
      Keep(launchBare, LaunchToIdle(bareWindow, quoted, L"BareForm"));
    }
    for (int i = 0; i < kRuns; ++i) {
      Keep(handTavu, HandOff(tavu, path, L"TMainForm"));
      Keep(handBare, HandOff(bareHandOff, path, L"BareReceiver"));
    }
    // The word list is read at every start; the data folder exists since the
    // first round.
    for (int i = 0; i < kRuns; ++i) {
      CopyFileW(fullList.c_str(), note.c_str(), FALSE);
      Keep(withWords, LaunchToIdle(tavu, quoted, L"TMainForm"));
      CopyFileW(emptyList.c_str(), note.c_str(), FALSE);
      Keep(withoutWords, LaunchToIdle(tavu, quoted, L"TMainForm"));
    }
  }
  RemoveTree(temp);

  Report("(a) launch with one path -> main window accepts input (WaitForInputIdle)", "tavu.exe",
         launchTavu, "bare window", launchBare, kGoalLaunch);
  Report("(b) second launch with a path -> path in the running window's list box", "tavu.exe",
         handTavu, "bare hand-off", handBare, kGoalHandOff, kHandOffPauseMs);
  char label[64];
  std::snprintf(label, sizeof label, "word list of %d entries", kWordListEntries);
  Report("(c) launch with a word list -> main window accepts input", label, withWords,
         "empty word list", withoutWords, kGoalWordList);
  if (g_problems)
    std::printf("%d run(s) went wrong (no window, no idle state, no hand-off or no exit)\n",
                g_problems);
  return 0;
}
