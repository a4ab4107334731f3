#pragma once
#include <windows.h>

#include <utility>

// A move-only owner of one system handle; the traits say what "none" is and
// how the handle is released. Copying does not compile.
template <class Traits> class ScopedHandle {
public:
  using Handle = typename Traits::Handle;
  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : h_(h) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(ScopedHandle&& o) noexcept : h_(o.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o)
      Reset(o.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle Get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::None(); }
  // Gives the handle up without releasing it (for handles the system took over).
  Handle Release() { return std::exchange(h_, Traits::None()); }
  void Reset(Handle h = Traits::None()) {
    if (h_ != Traits::None())
      Traits::Free(h_);
    h_ = h;
  }

private:
  Handle h_ = Traits::None();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static void Free(Handle h) { CloseHandle(h); }
};
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle h) { FindClose(h); }
};
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle h) { CloseHandle(h); }
};
struct FontTraits {
  using Handle = HFONT;
  static Handle None() { return nullptr; }
  static void Free(Handle h) { DeleteObject(h); }
};
struct MenuTraits {
  using Handle = HMENU;
  static Handle None() { return nullptr; }
  static void Free(Handle h) { DestroyMenu(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static Handle None() { return nullptr; }
  static void Free(Handle h) { DestroyWindow(h); }
};
struct GlobalTraits {
  using Handle = HGLOBAL;
  static Handle None() { return nullptr; }
  static void Free(Handle h) { GlobalFree(h); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
using ScopedFont = ScopedHandle<FontTraits>;
using ScopedMenu = ScopedHandle<MenuTraits>;
using ScopedWindow = ScopedHandle<WindowTraits>;
using ScopedGlobal = ScopedHandle<GlobalTraits>;
