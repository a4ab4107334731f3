#pragma once
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/ctlhook.h"

// Files dropped on the target: the names in the drop's order and the drop
// point in the target's client coordinates. The list lives only for the call.
using TFileDropEvent =
    std::function<void(tk::TComponent* Sender, std::vector<std::u16string>& Files, int X, int Y)>;

// Makes the hooked window accept files dragged onto it and turns each drop
// into a call of OnFileDrop.
class TDropDst : public TControlHook {
public:
  TDropDst(tk::TComponent* owner, std::u16string name, THookTarget target = THookTarget::htControl);
  ~TDropDst() override;

  TFileDropEvent OnFileDrop;

  bool AcceptDrop() const { return FAcceptDrop; }
  // Switches the acceptance of drops at once; an equal value does nothing.
  void SetAcceptDrop(bool accept);

  // Hooks anew and applies AcceptDrop to the target's window.
  void Loaded() override;
  // Applies AcceptDrop to the known target window, if it is a window.
  void UpdateDragAccept();
  // Reads the names and the point of a drop and raises OnFileDrop; does not
  // finish the drop.
  void DoFileDrop(HDROP drop);

protected:
  void TargetHandleChanged(std::uint8_t change) override;
  void TargetWndProc(tk::TMessage& message) override;
  void HookChanged(bool installed) override;

  bool FAcceptDrop = true;
};

// The names a drop holds, in its order, each at its full length.
std::vector<std::u16string> DroppedFileNames(HDROP drop);
