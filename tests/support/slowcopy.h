#pragma once
// A stand-in for CopyFileExW that makes every file last 300 ms: ten steps,
// each followed by the progress routine as Windows calls it within a large
// file (Wine never calls it), so a test can watch a long copy and stop it.
// The real copy comes last; a stop leaves nothing to clean up but what the
// caller made.
#include <windows.h>

namespace testsupport {

inline BOOL WINAPI SlowCopy(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data,
                            LPBOOL cancel, DWORD flags) {
  LARGE_INTEGER total{}, done{};
  total.QuadPart = 10;
  for (done.QuadPart = 1; done.QuadPart <= total.QuadPart; ++done.QuadPart) {
    Sleep(30);
    if (progress && progress(total, done, total, done, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr,
                             data) == PROGRESS_CANCEL) {
      SetLastError(ERROR_REQUEST_ABORTED);
      return FALSE;
    }
  }
  return CopyFileExW(from, to, nullptr, nullptr, cancel, flags);
}

} // namespace testsupport
