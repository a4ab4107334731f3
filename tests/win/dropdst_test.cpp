// The file-drop target with drops built as real HDROPs in this process (a
// hand-made one does not cross processes under Wine), the hook's life with
// its target's windows, and the main window as a drop target.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "components/dropdst.h"
#include "core/error.h"
#include "fixture.h"
#include "forms/main.h"
#include "scratch.h"

namespace {

using wintest::SendDrop;

class DropForm : public tk::TForm {
public:
  tk::TEdit Edit{this, u"Edit"};
  tk::TEdit Other{this, u"Other"};
  DropForm() : TForm(nullptr, u"DropForm", u"TTavuDropForm") {
    ClientWidth = 300;
    ClientHeight = 100;
    Edit.SetParent(this);
    Other.SetParent(this);
    Other.SetBounds(0, 40, 100, 22);
  }
};

// A drop target whose state, change notices and drops the test can see.
class ProbeDst : public TDropDst {
public:
  ProbeDst(tk::TComponent* owner, THookTarget target = THookTarget::htControl)
      : TDropDst(owner, u"Drop", target) {
    OnFileDrop = [this](tk::TComponent* s, std::vector<std::u16string>& f, int x, int y) {
      drops.push_back({s, f, x, y});
    };
  }
  using TDropDst::FHookTarget;
  using TDropDst::FHWndHookTarget;
  struct Drop {
    tk::TComponent* sender;
    std::vector<std::u16string> files;
    int x, y;
  };
  std::vector<Drop> drops;
  std::vector<int> changes;

protected:
  void TargetHandleChanged(std::uint8_t change) override {
    changes.push_back(change);
    TDropDst::TargetHandleChanged(change);
  }
};

bool Accepts(HWND h) {
  return (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
}

TEST(DropDst, HandsOverEveryNameInOrderWithThePointAndFinishesTheDrop) {
  DropForm f;
  ProbeDst d(&f, THookTarget::htForm);
  f.CreateForm();
  std::u16string deep = u"C:\\";
  while (deep.size() < 343)
    deep += u"a-folder-of-a-deep-tree\\";
  deep.resize(343);
  const struct {
    const char* what;
    std::vector<std::u16string> names;
    bool wide;
  } cases[] = {
      {"three, unsorted, one twice", {u"C:\\z\\b.txt", u"C:\\a", u"C:\\z\\b.txt"}, true},
      {"no names", {}, true},
      {"a path of 347 characters", {deep + u".txt", u"C:\\x"}, true},
      {"a name of 32,000 characters", {u"C:\\" + std::u16string(31997, u'n')}, true},
      {"ANSI names", {u"C:\\ansi\\one.txt", u"C:\\two"}, false},
  };
  int x = 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    d.drops.clear();
    EXPECT_TRUE(SendDrop(f.Handle(), c.names, {++x, 34}, c.wide));
    ASSERT_EQ(d.drops.size(), 1u);
    EXPECT_EQ(d.drops[0].files, c.names);
    EXPECT_EQ(d.drops[0].sender, &d);
    EXPECT_EQ(d.drops[0].x, x);
    EXPECT_EQ(d.drops[0].y, 34);
  }
  d.OnFileDrop = nullptr;
  EXPECT_TRUE(SendDrop(f.Handle(), {u"C:\\a"}));
}

TEST(DropDst, AnErrorFromTheHandlerReachesTheErrorBoxAndTheDropIsStillFinished) {
  DropForm f;
  TDropDst d(&f, u"Drop", THookTarget::htForm);
  f.CreateForm();
  std::vector<std::u16string> shown;
  tk::UseErrorBox([&](const std::u16string& t) { shown.push_back(t); });
  d.OnFileDrop = [](tk::TComponent*, std::vector<std::u16string>&, int, int) {
    throw tavu::Exception(u"落とせません");
  };
  const bool first = SendDrop(f.Handle(), {u"C:\\a"}), second = SendDrop(f.Handle(), {u"C:\\b"});
  tk::UseErrorBox(nullptr);
  EXPECT_TRUE(first && second);
  EXPECT_EQ(shown, std::vector<std::u16string>(2, tavu::ErrorBoxText(u"落とせません")));
}

TEST(DropDst, AcceptanceFollowsAcceptDropAndSurvivesANewWindow) {
  DropForm f;
  ProbeDst d(&f, THookTarget::htForm);
  EXPECT_FALSE(f.HandleAllocated()); // the setting alone makes no window
  f.CreateForm();
  HWND h = f.Handle();
  EXPECT_TRUE(Accepts(h));
  d.SetAcceptDrop(false);
  EXPECT_FALSE(Accepts(h));
  // Writing the value it has calls nothing: a style set behind its back stays.
  SetWindowLongW(h, GWL_EXSTYLE, GetWindowLongW(h, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
  d.SetAcceptDrop(false);
  EXPECT_TRUE(Accepts(h));
  d.SetAcceptDrop(true);

  d.changes.clear();
  f.RecreateHandle();
  EXPECT_EQ(d.changes, (std::vector<int>{1, 2}));
  EXPECT_EQ(d.FHWndHookTarget, f.Handle());
  EXPECT_TRUE(Accepts(f.Handle()));
  SendDrop(f.Handle(), {u"C:\\after"});
  EXPECT_EQ(d.drops.size(), 1u);
}

TEST(ControlHook, FindsItsTargetOrRefusesAsTheKindSays) {
  DropForm a, b;
  a.CreateForm();
  b.CreateForm();
  const struct {
    const char* what;
    bool owned;
    tk::TWinControl* control;
    THookTarget target;
    tk::TWinControl* hooked; // null: nothing
    bool raises;
  } cases[] = {
      {"form of the owner", true, nullptr, THookTarget::htForm, &a, false},
      {"form of the control", true, &b.Edit, THookTarget::htForm, &b, false},
      {"the control", true, &b.Edit, THookTarget::htControl, &b.Edit, false},
      {"no control", true, nullptr, THookTarget::htControl, nullptr, false},
      {"no form along the owners", false, nullptr, THookTarget::htForm, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProbeDst d(c.owned ? &a : nullptr);
    d.SetControl(c.control);
    try {
      d.SetTarget(c.target);
      EXPECT_FALSE(c.raises);
    } catch (const tavu::Exception& e) {
      EXPECT_TRUE(c.raises);
      EXPECT_EQ(e.Message(), u"フック先を特定できません。");
    }
    EXPECT_EQ(d.FHookTarget, c.hooked);
    const auto hook =
        tk::TWndMethod::Of<&TControlHook::HookWndProc>(static_cast<TControlHook*>(&d));
    for (tk::TWinControl* w : std::initializer_list<tk::TWinControl*>{&a, &b, &b.Edit})
      EXPECT_EQ(w->WindowProc == hook, w == c.hooked);
  }
}

TEST(ControlHook, RetargetingAndUnhookingRestoreThePreviousWindowProc) {
  DropForm f;
  f.CreateForm();
  auto pass = [](wintest::Hook& h, tk::TMessage& m) { h.Next(m); };
  wintest::Hook editSpy(f.Edit, pass), otherSpy(f.Other, pass);
  const tk::TWndMethod edit = f.Edit.WindowProc, other = f.Other.WindowProc;
  auto d = std::make_unique<TDropDst>(nullptr, u"Drop");
  d->SetControl(&f.Edit);
  EXPECT_FALSE(f.Edit.WindowProc == edit);
  EXPECT_TRUE(Accepts(f.Edit.Handle()));
  d->SetControl(&f.Other);
  EXPECT_TRUE(f.Edit.WindowProc == edit);
  EXPECT_FALSE(Accepts(f.Edit.Handle())); // no drops left that nobody finishes
  EXPECT_TRUE(Accepts(f.Other.Handle()));
  d->SetControl(nullptr);
  EXPECT_TRUE(f.Other.WindowProc == other);
  EXPECT_FALSE(Accepts(f.Other.Handle()));
  d->SetControl(&f.Edit);
  d.reset();
  EXPECT_TRUE(f.Edit.WindowProc == edit);
  EXPECT_FALSE(Accepts(f.Edit.Handle()));
}

TEST(ControlHook, FreeingTheTargetTellsTheHook) {
  auto f = std::make_unique<DropForm>();
  f->CreateForm();
  auto extra = std::make_unique<tk::TEdit>(f.get(), u"Extra");
  extra->SetParent(f.get());
  ProbeDst d(nullptr);
  d.SetControl(extra.get());
  ASSERT_EQ(d.FHookTarget, extra.get());
  d.changes.clear();
  extra.reset();
  EXPECT_EQ(d.changes, std::vector<int>{1});
  EXPECT_EQ(d.FHookTarget, nullptr);
  EXPECT_EQ(d.Control(), nullptr);
  // A hooked form that goes gets its own handling back for its last messages.
  d.SetControl(&f->Edit);
  d.SetTarget(THookTarget::htForm);
  ASSERT_EQ(d.FHookTarget, f.get());
  d.changes.clear();
  f.reset();
  EXPECT_EQ(d.changes, std::vector<int>{1});
  EXPECT_EQ(d.FHookTarget, nullptr);
  EXPECT_EQ(d.FHWndHookTarget, nullptr);
}

TEST(MainWindowDrop, AcceptsDropsBeforeItsCreationHandlerAndQueuesThemSorted) {
  wintest::ScratchFolder dir;
  const auto b = dir.File(u"b.txt"), a = dir.File(u"A.txt"), c = dir.File(u"c.txt");
  wintest::ResetApplication();
  auto f = std::make_unique<TMainForm>();
  bool acceptedAtCreate = false;
  f->OnCreate = [&] {
    acceptedAtCreate = Accepts(f->Handle());
    f->FormCreate();
  };
  tk::Application().MainForm = f.get();
  f->CreateForm();
  EXPECT_TRUE(acceptedAtCreate);
  auto items = [&] {
    std::vector<std::u16string> out;
    for (int i = 0; i < wintest::QueueList(*f).Count(); ++i)
      out.push_back(wintest::QueueList(*f).Item(i));
    return out;
  };
  SendDrop(f->Handle(), {b, a});
  EXPECT_EQ(items(), (std::vector<std::u16string>{a, b}));
  EXPECT_EQ(f->EditName.Text(), u"A");
  f->RecreateHandle();
  EXPECT_TRUE(Accepts(f->Handle()));
  SendDrop(f->Handle(), {c});
  EXPECT_EQ(items(), (std::vector<std::u16string>{a, b, c}));
  tk::Application().MainForm = nullptr;
  f.reset();
  wintest::ResetApplication();
}

} // namespace
