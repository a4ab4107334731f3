#include "components/dropdst.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "common/handle.h"
#include "common/listfile.h"
#include "common/wide.h"
#include "toolkit/forms.h"

namespace {

struct DropTraits {
  using Handle = HDROP;
  static Handle None() { return nullptr; }
  static void Free(Handle h) { DragFinish(h); }
};
using ScopedDrop = ScopedHandle<DropTraits>;

// Keeps a global memory block locked while it lives.
class GlobalLockGuard {
public:
  explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(GlobalLock(h)) {}
  ~GlobalLockGuard() {
    if (p_)
      GlobalUnlock(h_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  const unsigned char* Data() const { return static_cast<const unsigned char*>(p_); }

private:
  HGLOBAL h_;
  void* p_;
};

// Splits a list of names, each ended by a zero unit and the list by an
// empty name, without reading past `end` (a last name cut by the end of the
// block is taken as it stands).
template <class Unit, class Take> void SplitNames(const Unit* p, const Unit* end, Take take) {
  while (p < end && *p != 0) {
    const Unit* start = p;
    while (p < end && *p != 0)
      ++p;
    take(start, static_cast<std::size_t>(p - start));
    if (p < end)
      ++p;
  }
}

} // namespace

std::vector<std::u16string> DroppedFileNames(HDROP drop) {
  // One pass over the block: DragQueryFileW walks the list from its start
  // for every index, so reading 10,000 names that way takes seconds, and
  // Wine's reads past the end of a block that holds no name.
  std::vector<std::u16string> names;
  const SIZE_T size = GlobalSize(drop);
  GlobalLockGuard lock(drop);
  const unsigned char* base = lock.Data();
  if (!base || size < sizeof(DROPFILES))
    return names;
  DROPFILES header;
  std::memcpy(&header, base, sizeof header);
  if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= size)
    return names;
  const unsigned char* first = base + header.pFiles;
  const unsigned char* end = base + size;
  if (header.fWide) {
    // The list starts at an even offset in every block the shell builds, but
    // nothing forces that: copy unit by unit instead of aliasing.
    std::u16string units((size - header.pFiles) / sizeof(char16_t), u'\0');
    std::memcpy(units.data(), first, units.size() * sizeof(char16_t));
    SplitNames(units.data(), units.data() + units.size(),
               [&](const char16_t* s, std::size_t n) { names.emplace_back(s, n); });
  } else {
    SplitNames(reinterpret_cast<const char*>(first), reinterpret_cast<const char*>(end),
               [&](const char* s, std::size_t n) {
                 names.push_back(Pelvane::AnsiCodePage().Decode(std::string_view(s, n)));
               });
  }
  return names;
}

TDropDst::TDropDst(tk::TComponent* owner, std::u16string name, THookTarget target)
    : TControlHook(owner, std::move(name), target) {}

TDropDst::~TDropDst() {
  // Here, not in the base: only a drop target can take the acceptance back.
  SetHook(false);
}

void TDropDst::SetAcceptDrop(bool accept) {
  if (accept == FAcceptDrop)
    return;
  FAcceptDrop = accept;
  UpdateDragAccept();
}

void TDropDst::Loaded() {
  TControlHook::Loaded();
  UpdateDragAccept();
}

void TDropDst::UpdateDragAccept() {
  if (FHWndHookTarget && IsWindow(FHWndHookTarget))
    DragAcceptFiles(FHWndHookTarget, FAcceptDrop ? TRUE : FALSE);
}

void TDropDst::DoFileDrop(HDROP drop) {
  // A copy: the handler may replace the event while it runs.
  TFileDropEvent handler = OnFileDrop;
  if (!handler)
    return;
  std::vector<std::u16string> files = DroppedFileNames(drop);
  POINT pt{0, 0};
  DragQueryPoint(drop, &pt);
  handler(this, files, static_cast<int>(pt.x), static_cast<int>(pt.y));
}

void TDropDst::TargetHandleChanged(std::uint8_t change) {
  TControlHook::TargetHandleChanged(change);
  UpdateDragAccept();
}

void TDropDst::TargetWndProc(tk::TMessage& message) {
  if (message.Msg != WM_DROPFILES) {
    TControlHook::TargetWndProc(message);
    return;
  }
  // Finished in every case, also when the handler or the error box throws;
  // nothing of this object is touched after the handler, which may free it.
  ScopedDrop drop(reinterpret_cast<HDROP>(message.WParam));
  message.Result = 0;
  try {
    DoFileDrop(drop.Get());
  } catch (...) {
    tk::Application().HandleException();
  }
}

void TDropDst::HookChanged(bool installed) {
  if (installed) {
    UpdateDragAccept();
    return;
  }
  // A window left accepting files would take drops that nobody finishes.
  if (FHWndHookTarget && IsWindow(FHWndHookTarget))
    DragAcceptFiles(FHWndHookTarget, FALSE);
}
