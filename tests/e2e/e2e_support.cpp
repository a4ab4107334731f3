#include "e2e_support.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>

namespace e2e {

namespace {

const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kDefaultAppData[] = L"%USERPROFILE%\\AppData\\Roaming";
const wchar_t kTempPrefix[] = L"tavu-e2e-";
constexpr UINT kMessageTimeoutMs = 5000;

LRESULT Send(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok) {
  DWORD_PTR result = 0;
  *ok = SendMessageTimeoutW(wnd, msg, wp, lp, SMTO_NORMAL, kMessageTimeoutMs, &result) != 0;
  return static_cast<LRESULT>(result);
}

BOOL CALLBACK CollectTopLevel(HWND wnd, LPARAM lp) {
  wchar_t cls[32] = {};
  wchar_t title[32] = {};
  GetClassNameW(wnd, cls, 32);
  GetWindowTextW(wnd, title, 32);
  if (std::wstring(cls) == L"TMainForm" && std::wstring(title) == L"TAVU")
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND wnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
  return TRUE;
}

} // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    if (done())
      return true;
    if (GetTickCount64() >= deadline)
      return done();
    Sleep(20);
  }
}

std::wstring ProgramFolder() {
  wchar_t buf[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path(buf, n);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring TavuExe() {
  return ProgramFolder() + L"tavu.exe";
}

bool IsFolder(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFile(const std::wstring& path) {
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << "cannot create a test file, error " << GetLastError();
  const char bytes[] = "tavu";
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.Get(), bytes, sizeof bytes - 1, &written, nullptr));
}

AppDataRedirect::AppDataRedirect(const std::wstring& folder) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot open User Shell Folders";
    return;
  }
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, L"AppData", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    original_.assign(buf, size / sizeof(wchar_t));
    while (!original_.empty() && original_.back() == L'\0')
      original_.pop_back();
    originalType_ = type;
  }
  // A run that died half-way leaves its own folder behind; never keep that.
  if (original_.empty() || original_.find(kTempPrefix) != std::wstring::npos) {
    original_ = kDefaultAppData;
    originalType_ = REG_EXPAND_SZ;
  }
  LSTATUS set = RegSetValueExW(key, L"AppData", 0, REG_EXPAND_SZ,
                               reinterpret_cast<const BYTE*>(folder.c_str()),
                               static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  EXPECT_EQ(set, ERROR_SUCCESS) << "cannot redirect AppData";
  RegCloseKey(key);
}

AppDataRedirect::~AppDataRedirect() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, L"AppData", 0, originalType_,
                 reinterpret_cast<const BYTE*>(original_.c_str()),
                 static_cast<DWORD>((original_.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

Process::Process(const std::wstring& exe, const std::wstring& tail) {
  std::wstring line = L"\"" + exe + L"\"";
  if (!tail.empty())
    line += L" " + tail;
  std::vector<wchar_t> buf(line.begin(), line.end());
  buf.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // Wine now and then refuses a start with ERROR_INTERNAL_ERROR when many
  // processes start at once in a young prefix; a moment later the same
  // start succeeds. Any other refusal is the test's to see at once.
  for (int attempt = 0;; ++attempt) {
    if (CreateProcessW(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi))
      break;
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 4)
      return;
    Sleep(100);
  }
  CloseHandle(pi.hThread);
  process_.Reset(pi.hProcess);
  id_ = pi.dwProcessId;
}

Process::~Process() {
  Kill();
}

bool Process::IsAlive() const {
  return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD ms, DWORD* exitCode) const {
  if (!process_ || WaitForSingleObject(process_.Get(), ms) != WAIT_OBJECT_0)
    return false;
  if (exitCode && !GetExitCodeProcess(process_.Get(), exitCode))
    return false;
  return true;
}

void Process::Kill() {
  if (!IsAlive())
    return;
  TerminateProcess(process_.Get(), 1);
  WaitForSingleObject(process_.Get(), kDeadlineMs);
}

std::wstring Quoted(const std::vector<std::wstring>& args) {
  std::wstring line;
  for (const auto& a : args) {
    if (!line.empty())
      line += L' ';
    line += L"\"" + a + L"\"";
  }
  return line;
}

std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&found));
  return found;
}

DWORD WindowProcessId(HWND wnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  return pid;
}

HWND WaitForMainWindow(DWORD pid, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : MainWindows()) {
          if (WindowProcessId(w) == pid && IsWindowVisible(w)) {
            found = w;
            return true;
          }
        }
        return false;
      },
      ms);
  return found;
}

std::wstring TextOf(HWND wnd) {
  bool ok = false;
  auto n = Send(wnd, WM_GETTEXTLENGTH, 0, 0, &ok);
  if (!ok || n < 0) {
    ADD_FAILURE() << "WM_GETTEXTLENGTH got no answer";
    return {};
  }
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  auto got = Send(wnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &ok);
  if (!ok) {
    ADD_FAILURE() << "WM_GETTEXT got no answer";
    return {};
  }
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(got, 0)));
  return text;
}

std::wstring ClassOf(HWND wnd) {
  wchar_t cls[64] = {};
  int n = GetClassNameW(wnd, cls, 64);
  return std::wstring(cls, static_cast<std::size_t>(std::max(n, 0)));
}

std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  bool ok = false;
  auto count = Send(list, LB_GETCOUNT, 0, 0, &ok);
  if (!ok || count < 0) {
    ADD_FAILURE() << "LB_GETCOUNT got no answer";
    return items;
  }
  for (LRESULT i = 0; i < count; ++i) {
    auto len = Send(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, &ok);
    if (!ok || len < 0) {
      ADD_FAILURE() << "LB_GETTEXTLEN " << i << " failed";
      return items;
    }
    std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
    auto got =
        Send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()), &ok);
    if (!ok || got < 0) {
      ADD_FAILURE() << "LB_GETTEXT " << i << " failed";
      return items;
    }
    text.resize(static_cast<std::size_t>(got));
    items.push_back(std::move(text));
  }
  return items;
}

bool Responds(HWND wnd) {
  bool ok = false;
  Send(wnd, WM_NULL, 0, 0, &ok);
  return ok && IsWindow(wnd);
}

void FindControls(HWND main, MainControls* out) {
  std::vector<HWND> children;
  EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&children));
  std::vector<HWND> edits;
  for (HWND c : children) {
    // The program's controls are superclasses named after their system class.
    std::wstring cls = ClassOf(c);
    if (cls.rfind(L"TAVU.", 0) == 0)
      cls.erase(0, 5);
    if (cls == L"Edit") {
      edits.push_back(c);
    } else if (cls == L"ComboBox") {
      out->mode = c;
    } else if (cls == L"ListBox") {
      out->list = c;
    } else if (cls == L"Button") {
      std::wstring caption = TextOf(c);
      if (caption == L"OK[ENTER]")
        out->ok = c;
      else if (caption == L"キャンセル[ESC]")
        out->cancel = c;
    }
  }
  std::sort(edits.begin(), edits.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top < rb.top;
  });
  ASSERT_EQ(edits.size(), 3u) << "the window should have a path, a name and an extension edit";
  out->path = edits[0];
  out->name = edits[1];
  out->ext = edits[2];
  ASSERT_NE(out->ok, nullptr) << "no OK button";
  ASSERT_NE(out->cancel, nullptr) << "no cancel button";
  ASSERT_NE(out->list, nullptr) << "no list box";
}

void PressEscape(HWND main, HWND fallback) {
  HWND target = fallback;
  GUITHREADINFO gti{};
  gti.cbSize = sizeof gti;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gti) && gti.hwndFocus &&
      IsChild(main, gti.hwndFocus))
    target = gti.hwndFocus;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, scan | 1);
  PostMessageW(target, WM_KEYUP, VK_ESCAPE, scan | 1 | (1 << 30) | (1u << 31));
}

void PostClick(HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
}

namespace {
struct DialogSearch {
  DWORD pid;
  HWND found;
};
BOOL CALLBACK FindDialogOf(HWND wnd, LPARAM lp) {
  auto* search = reinterpret_cast<DialogSearch*>(lp);
  if (WindowProcessId(wnd) == search->pid && IsWindowVisible(wnd) && ClassOf(wnd) == L"#32770") {
    search->found = wnd;
    return FALSE;
  }
  return TRUE;
}
} // namespace

HWND WaitForDialog(DWORD pid, DWORD ms) {
  DialogSearch search{pid, nullptr};
  WaitUntil(
      [&] {
        EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      ms);
  return search.found;
}

std::wstring MessageBoxText(HWND box) {
  return TextOf(GetDlgItem(box, 0xFFFF));
}

bool PickFolder(DWORD pid, const std::wstring& folder) {
  HWND browser = WaitForDialog(pid);
  if (!browser)
    return false;
  ScopedKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
  if (!process)
    return false;
  const SIZE_T bytes = (folder.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process.Get(), nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (!remote)
    return false;
  bool ok = WriteProcessMemory(process.Get(), remote, folder.c_str(), bytes, nullptr) != FALSE;
  // The tree fills itself for a while after it shows; select until it took.
  for (int i = 0; ok && i < 3; ++i) {
    DWORD_PTR result = 0;
    ok = SendMessageTimeoutW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote),
                             SMTO_NORMAL, 5000, &result) != 0;
    Sleep(150);
  }
  VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  if (ok)
    PressDialogButton(browser, IDOK);
  return ok;
}

void PressDialogButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void TavuTest::SetUp() {
  temp_ = std::make_unique<testsupport::ScratchFolder>(u"tavu-e2e-");
  ASSERT_FALSE(temp_->Root().empty());
  tempPath_ = reinterpret_cast<const wchar_t*>(temp_->Root().c_str());
  roaming_ = tempPath_ + L"\\Roaming";
  ASSERT_TRUE(CreateDirectoryW(roaming_.c_str(), nullptr));
  redirect_ = std::make_unique<AppDataRedirect>(roaming_);
  ASSERT_TRUE(MainWindows().empty()) << "a TAVU window from elsewhere is open";
}

void TavuTest::TearDown() {
  for (auto& p : processes_) {
    p->Kill();
    EXPECT_FALSE(p->IsAlive()) << "process " << p->Id() << " would not end";
  }
  processes_.clear();
  EXPECT_TRUE(WaitUntil([] { return MainWindows().empty(); })) << "a TAVU window was left open";
  redirect_.reset();
  if (temp_) {
    std::wstring path = tempPath_;
    temp_.reset();
    EXPECT_FALSE(IsFolder(path)) << "the temporary folder could not be removed";
  }
}

Process& TavuTest::Launch(const std::wstring& tail, const std::wstring& exe) {
  processes_.push_back(std::make_unique<Process>(exe.empty() ? TavuExe() : exe, tail));
  Process& p = *processes_.back();
  EXPECT_TRUE(p.Started()) << "cannot start tavu.exe, error " << GetLastError();
  return p;
}

} // namespace e2e
