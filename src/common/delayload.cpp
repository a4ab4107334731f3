// The shell, COM and common-control functions TAVU calls, bound on their
// first call instead of by the loader. A second launch that only hands its
// path to the running window then never loads shell32, ole32 or comctl32:
// under Wine their start-up alone doubled the life of such a launch.
//
// GNU ld has no delay-load option, and dlltool's delay-import libraries for
// i686 jump to address 0, so this does by hand what such a library would:
// each import pointer the compiler calls through ("__imp_" + the decorated
// name) starts at a stub that loads the library, finds the function, puts
// it into the pointer and calls it. Callers stay ordinary Win32 calls.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <type_traits>

namespace {

struct LateDll {
  const wchar_t* name;
  HMODULE module;
};

LateDll gShell32{L"shell32.dll", nullptr};
LateDll gOle32{L"ole32.dll", nullptr};
LateDll gComCtl32{L"comctl32.dll", nullptr};

// The function `name` of `dll`. A system library or function that is not
// there leaves nothing sensible to do: the process ends with a box naming it.
FARPROC Resolve(LateDll& dll, const char* name) {
  HMODULE module = __atomic_load_n(&dll.module, __ATOMIC_ACQUIRE);
  if (!module) {
    // A second load from a racing thread only raises the reference count.
    module = LoadLibraryW(dll.name);
    __atomic_store_n(&dll.module, module, __ATOMIC_RELEASE);
  }
  FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
  if (!proc) {
    wchar_t text[160];
    wsprintfW(text, L"TAVU: %s / %S", dll.name, name);
    FatalAppExitW(0, text);
  }
  return proc;
}

// The bytes a stdcall function pops, as its decorated i686 name carries them
// (a reference travels as a pointer).
template <typename A> constexpr std::size_t ArgBytes() {
  return std::is_reference_v<A> ? sizeof(void*) : (sizeof(A) + 3) / 4 * 4;
}
template <typename... A> constexpr std::size_t StackBytes() {
  return (0 + ... + ArgBytes<A>());
}

template <typename Fn> struct Late;
template <typename R, typename... A> struct Late<R(WINAPI*)(A...)> {
  using Fn = R(WINAPI*)(A...);
  static constexpr std::size_t kBytes = StackBytes<A...>();
  // The first call through `slot`: binds it, then calls what it now holds.
  template <Fn* Slot, LateDll* Dll, const char* Name> static R WINAPI First(A... args) {
    Fn real = reinterpret_cast<Fn>(reinterpret_cast<void*>(Resolve(*Dll, Name)));
    __atomic_store_n(Slot, real, __ATOMIC_RELEASE);
    return real(args...);
  }
};

} // namespace

#ifdef _WIN64
#define TAVU_IMPORT_LABEL(name, bytes) "__imp_" #name
#define TAVU_THUNK_LABEL(name, bytes) #name
#define TAVU_JUMP(name, bytes) "jmp *" TAVU_IMPORT_LABEL(name, bytes) "(%rip)"
#else
#define TAVU_IMPORT_LABEL(name, bytes) "__imp__" #name "@" #bytes
#define TAVU_THUNK_LABEL(name, bytes) "_" #name "@" #bytes
#define TAVU_JUMP(name, bytes) "jmp *" TAVU_IMPORT_LABEL(name, bytes)
#endif

// `bytes` is the stack size in the i686 decorated name; the build checks it
// against the declaration, so a wrong one cannot slip through. The plain name
// is a jump through the pointer, as in an import library, for the callers
// that take a function's address or whose header declares it without
// dllimport.
#define TAVU_THUNK(name, bytes)                                                                    \
  ".section .text$tavu_" #name ",\"x\"\n"                                                          \
  ".globl " TAVU_THUNK_LABEL(name, bytes) "\n" TAVU_THUNK_LABEL(name, bytes) ":\n" TAVU_JUMP(      \
      name, bytes) "\n.text\n"

#define TAVU_LATE(dll, name, bytes)                                                                \
  extern "C" decltype(&::name) tavu_imp_##name asm(TAVU_IMPORT_LABEL(name, bytes));                \
  namespace {                                                                                      \
  constexpr char kName_##name[] = #name;                                                           \
  static_assert(sizeof(void*) == 8 || Late<decltype(&::name)>::kBytes == (bytes));                 \
  }                                                                                                \
  decltype(&::name) tavu_imp_##name =                                                              \
      Late<decltype(&::name)>::First<&tavu_imp_##name, &dll, kName_##name>;                        \
  asm(TAVU_THUNK(name, bytes));

TAVU_LATE(gComCtl32, InitCommonControlsEx, 4)

TAVU_LATE(gOle32, CoTaskMemFree, 4)
TAVU_LATE(gOle32, OleInitialize, 4)
TAVU_LATE(gOle32, OleUninitialize, 0)

TAVU_LATE(gShell32, DragAcceptFiles, 8)
TAVU_LATE(gShell32, DragFinish, 4)
TAVU_LATE(gShell32, DragQueryPoint, 8)
TAVU_LATE(gShell32, SHAppBarMessage, 8)
TAVU_LATE(gShell32, SHBrowseForFolderW, 4)
TAVU_LATE(gShell32, SHFileOperationW, 4)
TAVU_LATE(gShell32, SHGetFolderPathW, 20)
TAVU_LATE(gShell32, SHGetKnownFolderPath, 16)
TAVU_LATE(gShell32, SHGetPathFromIDListW, 8)
TAVU_LATE(gShell32, ShellExecuteW, 24)
