// tavu.exe's manifest, read as the system's loader reads it through an
// activation context: the program runs as the user who started it (never
// under the file and registry virtualisation of an old program, which would
// report a copy into a protected folder as done while it went elsewhere),
// declares every Windows from 7 on, and is aware of each monitor's DPI.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

class ActivationContext {
public:
  explicit ActivationContext(const std::wstring& exe) {
    ACTCTXW ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = exe.c_str();
    ctx.lpResourceName = MAKEINTRESOURCEW(1);
    handle_ = CreateActCtxW(&ctx);
  }
  ~ActivationContext() {
    if (handle_ != INVALID_HANDLE_VALUE)
      ReleaseActCtx(handle_);
  }
  ActivationContext(const ActivationContext&) = delete;
  ActivationContext& operator=(const ActivationContext&) = delete;

  HANDLE Get() const { return handle_; }

  // A setting of the application's windowsSettings; empty when there is none.
  std::wstring Setting(const wchar_t* ns, const wchar_t* name) const {
    wchar_t buffer[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, handle_, ns, name, buffer, 128, &written))
      return {};
    return buffer;
  }

private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

std::wstring Text(const GUID& g) {
  wchar_t buffer[64] = {};
  swprintf(buffer, 64, L"%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
           static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
           g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buffer;
}

TEST(Manifest, RunsAsTheInvokerOnWindows7AndLaterPerMonitorAware) {
  ActivationContext ctx(TavuExe());
  ASSERT_NE(ctx.Get(), INVALID_HANDLE_VALUE) << "no manifest the loader accepts";

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run{};
  ASSERT_TRUE(QueryActCtxW(0, ctx.Get(), nullptr, RunlevelInformationInActivationContext, &run,
                           sizeof run, nullptr));
  EXPECT_EQ(run.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(run.UiAccess, 0u);

  alignas(8) unsigned char buffer[1024] = {};
  SIZE_T written = 0;
  ASSERT_TRUE(QueryActCtxW(0, ctx.Get(), nullptr, CompatibilityInformationInActivationContext,
                           buffer, sizeof buffer, &written));
  // The count, then each element: the GUID and its type; since Windows 10
  // version 1903 (and in Wine) also the highest version tested, 8-aligned.
  DWORD count = 0;
  std::memcpy(&count, buffer, sizeof count);
  const bool tested = count > 0 && written >= 8 + count * 32;
  const std::size_t first = tested ? 8 : 4, size = tested ? 32 : 20;
  ASSERT_LE(first + count * size, written);
  std::vector<std::wstring> systems;
  for (DWORD i = 0; i < count; ++i) {
    GUID id;
    DWORD type = 0;
    std::memcpy(&id, buffer + first + i * size, sizeof id);
    std::memcpy(&type, buffer + first + i * size + sizeof id, sizeof type);
    if (type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS)
      systems.push_back(Text(id));
  }
  std::sort(systems.begin(), systems.end());
  EXPECT_EQ(systems,
            (std::vector<std::wstring>{L"1f676c76-80e1-4239-95bb-83d0f6d0da78",    // 8.1
                                       L"35138b9a-5d96-4fbd-8e2d-a2440225f93a",    // 7
                                       L"4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",    // 8
                                       L"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})); // 10 and 11

  // Version 2 of per-monitor awareness where the system knows it, else the first.
  const std::wstring awareness =
      ctx.Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness");
  EXPECT_EQ(awareness.rfind(L"PerMonitorV2", 0), 0u) << awareness;
  EXPECT_EQ(ctx.Setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
            L"true/pm");
}

} // namespace
} // namespace e2e
