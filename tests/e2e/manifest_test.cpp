// tavu.exe's manifest, read through an activation context as the loader
// reads it: the program runs as the user who started it (not under the file
// and registry virtualisation of an old program, which would report a copy
// into a protected folder as done while it went elsewhere), declares every
// Windows from 7 on, and is aware of each monitor's DPI.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

struct ActCtxTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle h) { ReleaseActCtx(h); }
};

TEST(Manifest, RunsAsTheInvokerOnWindows7AndLaterPerMonitorAware) {
  const std::wstring exe = TavuExe();
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = exe.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  ScopedHandle<ActCtxTraits> ctx(CreateActCtxW(&request));
  ASSERT_TRUE(ctx) << "no manifest the loader accepts";

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run{};
  ASSERT_TRUE(QueryActCtxW(0, ctx.Get(), nullptr, RunlevelInformationInActivationContext, &run,
                           sizeof run, nullptr));
  EXPECT_EQ(run.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(run.UiAccess, 0u);

  alignas(8) unsigned char buffer[1024] = {};
  SIZE_T written = 0;
  ASSERT_TRUE(QueryActCtxW(0, ctx.Get(), nullptr, CompatibilityInformationInActivationContext,
                           buffer, sizeof buffer, &written));
  // The count, then each element: its GUID and type; since Windows 10
  // version 1903 (and in Wine) also the highest version tested, 8-aligned.
  DWORD count = 0;
  std::memcpy(&count, buffer, sizeof count);
  const bool tested = count > 0 && written >= 8 + count * 32;
  const std::size_t first = tested ? 8 : 4, size = tested ? 32 : 20;
  ASSERT_LE(first + count * size, written);
  std::vector<unsigned long> systems; // the first part of each system's GUID
  for (DWORD i = 0; i < count; ++i) {
    COMPATIBILITY_CONTEXT_ELEMENT e;
    std::memcpy(&e, buffer + first + i * size, sizeof e.Id + sizeof e.Type);
    if (e.Type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS)
      systems.push_back(e.Id.Data1);
  }
  std::sort(systems.begin(), systems.end());
  // 8.1, 7, 8, and 10 and 11.
  EXPECT_EQ(systems, (std::vector<unsigned long>{0x1f676c76, 0x35138b9a, 0x4a2f28e3, 0x8e0f7a12}));

  // Version 2 of per-monitor awareness where the system knows it.
  wchar_t awareness[64] = {};
  EXPECT_TRUE(QueryActCtxSettingsW(0, ctx.Get(),
                                   L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                   L"dpiAwareness", awareness, 64, nullptr));
  EXPECT_EQ(std::wstring(awareness).rfind(L"PerMonitorV2", 0), 0u);
}

} // namespace
} // namespace e2e
