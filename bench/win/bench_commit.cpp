// One commit (OK on a file, rename mode, logging on with a 100-line log, the
// next item loaded) against a bare SHFileOperationW rename of a file, with
// the time of each step of the commit measured on its own. Prints medians.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/shellops.h"
#include "common/wide.h"
#include "forms/main.h"
#include "timing.h"

namespace {

using bench::Median;
using bench::NowMs;

constexpr int kRuns = 21;
constexpr double kGoalCommit = 2.0;

std::u16string Number(int n) {
  return ToU16(std::to_wstring(n).c_str());
}

void Touch(const std::u16string& path) {
  HANDLE h = CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
}

bool BareRename(const std::u16string& from, const std::u16string& to) {
  std::u16string f = from + std::u16string(2, u'\0'), t = to + std::u16string(2, u'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_RENAME;
  op.pFrom = AsWide(f);
  op.pTo = AsWide(t);
  op.fFlags = FOF_ALLOWUNDO | FOF_RENAMEONCOLLISION;
  return SHFileOperationW(&op) == 0;
}

} // namespace

int wmain() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::u16string dir = ToU16(temp) + u"tavu-bench-commit-" + Number(GetCurrentProcessId());
  CreateDirectoryW(AsWide(dir), nullptr);
  Pelvane::DataFolder = dir + u"\\";
  const std::u16string log = dir + u"\\TAVU.log";
  std::vector<std::u16string> hundred;
  for (int i = 0; i < 100; ++i)
    hundred.push_back(u"2026/12/09 12:00:00 C:\\some\\folder\\file " + Number(i) +
                      u".txt->C:\\some\\folder\\renamed " + Number(i) + u".txt");
  Pelvane::SaveListIfFree(hundred, log, tavu::TextEncoding::Ansi);

  std::vector<std::u16string> items;
  for (int i = 0; i <= kRuns; ++i) {
    items.push_back(dir + u"\\item " + Number(i) + u".txt");
    Touch(items.back());
  }
  tk::Application().Title = u"TAVU";
  TMainForm form;
  form.Arguments = items;
  form.CreateForm();
  form.Show();
  form.PPLog.Checked = true;

  std::vector<double> commit, bare, rename, logRead, logWrite, queue;
  for (int i = 0; i < kRuns; ++i) {
    // The whole commit through the OK button.
    form.EditName.SetText(u"done " + Number(i));
    double t0 = NowMs();
    form.BtnOK.Click();
    commit.push_back(NowMs() - t0);
    Pelvane::SaveListIfFree(hundred, log, tavu::TextEncoding::Ansi); // keep it at 100 lines

    // Its steps, each on its own.
    const std::u16string a = dir + u"\\step " + Number(i) + u".txt";
    Touch(a);
    t0 = NowMs();
    Pelvane::ShellRename(nullptr, a, a + u".renamed");
    rename.push_back(NowMs() - t0);
    std::vector<std::u16string> lines;
    t0 = NowMs();
    Pelvane::LoadList(lines, log, tavu::TextEncoding::Ansi);
    logRead.push_back(NowMs() - t0);
    t0 = NowMs();
    Pelvane::SaveListIfFree(lines, log, tavu::TextEncoding::Ansi);
    logWrite.push_back(NowMs() - t0);
    form.AddPath(a + u".renamed");
    t0 = NowMs();
    form.RemoveCurrentItem();
    form.ShowQueueHead();
    queue.push_back(NowMs() - t0);

    // The bare rename of a file in the same run.
    const std::u16string b = dir + u"\\bare " + Number(i) + u".txt";
    Touch(b);
    t0 = NowMs();
    BareRename(b, b + u".renamed");
    bare.push_back(NowMs() - t0);
  }
  const double c = Median(commit), b = Median(bare);
  std::printf("commit %.2f ms, bare SHFileOperationW rename %.2f ms, ratio %.2f (goal <= %.1fx: "
              "%s)\n",
              c, b, c / b, kGoalCommit, c / b <= kGoalCommit ? "met" : "missed");
  std::printf("steps: rename %.2f ms, log read %.2f ms, log write and replace %.2f ms, "
              "queue and fields %.2f ms\n",
              Median(rename), Median(logRead), Median(logWrite), Median(queue));
  form.PPLog.Checked = false;
  SHFILEOPSTRUCTW del{};
  std::u16string from = dir + std::u16string(2, u'\0');
  del.wFunc = FO_DELETE;
  del.pFrom = AsWide(from);
  del.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  SHFileOperationW(&del);
  return 0;
}
