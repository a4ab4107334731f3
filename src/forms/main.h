#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/dropdst.h"
#include "core/commit.h"
#include "common/pelvane.h"
#include "common/undo.h"
#include "core/caret.h"
#include "core/journal.h"
#include "core/queue.h"
#include "toolkit/controls.h"
#include "toolkit/forms.h"
#include "toolkit/menus.h"

class TNoteForm;
namespace Pelvane {
class Transfer;
}

// The main window's class name and title: a later launch finds the running
// window by both to hand its path over, so they are spelled here alone. The
// title is also the program's name in its boxes.
inline constexpr char16_t kMainFormClass[] = u"TMainForm";
inline constexpr char16_t kProgramTitle[] = u"TAVU";

// The program's working window: the head of the work queue as a path, a
// name and an extension field, the row of buttons, and the queue below.
class TMainForm : public tk::TForm {
public:
  TMainForm();
  ~TMainForm() override;

  tk::TPanel PanelEdit;
  tk::TEdit EditPath;
  tk::TEdit EditName;
  tk::TLabel Labelpiriodo;
  tk::TEdit EditExt;
  tk::TPanel PanelBtn;
  tk::TButton BtnOption;
  tk::TButton BtnNameClear;
  tk::TButton BtnEdit;
  tk::TCheckBox CHKOKClose;
  tk::TComboBox ComboBox;
  tk::TButton BtnOK;
  tk::TButton BtnCancel;

private:
  // The work queue's list: only queue_ changes it, so that its index of the
  // queued paths stays true.
  tk::TListBox ListBox;

public:
  // Makes the whole window a drop target once its layout is built.
  TDropDst DropDst{this, u"DropDst", THookTarget::htForm};

  tk::TPopupMenu PPMenu;
  tk::TMenuItem PPMostTop;
  tk::TMenuItem N2;
  tk::TMenuItem PPLog;

  tk::TPopupMenu PPEdit;
  tk::TMenuItem PPCaretCutBefore;
  tk::TMenuItem PPCaretCutAfter;
  tk::TMenuItem PPCaretCopyBefore;
  tk::TMenuItem PPCaretCopyAfter;
  tk::TMenuItem PPCaretXch;
  tk::TMenuItem N1;
  tk::TMenuItem PPUndo;
  tk::TMenuItem PPUndoLast;
  tk::TMenuItem N3;
  tk::TMenuItem PPDate1;
  tk::TMenuItem PPDate2;
  tk::TMenuItem PPDate3;
  tk::TMenuItem PPDate4;
  tk::TMenuItem PPDate5;
  tk::TMenuItem PPDate6;
  tk::TMenuItem N4;
  tk::TMenuItem PPNote;

  // Handlers.
  void FormCreate();
  void BtnOptionClick();
  void BtnEditClick();
  void BtnCancelClick();
  void BtnOKClick();
  void BtnNameClearClick();
  void EditPathChange();
  void EditNameChange();
  void EditNameEnter();
  void EditExtEnter();
  void PPMostTopClick();
  void PPUndoClick();
  // Takes back the last OK recorded in the undo journal, of this run or an
  // earlier one, and makes its item the current one again.
  void PPUndoLastClick();
  void PPNoteClick();
  void DropDstFileDrop(std::vector<std::u16string>& files);
  void WMCopyData(const COPYDATASTRUCT* data);

  // Where BtnEditClick opens the edit menu, in screen coordinates.
  POINT EditMenuPoint();

  // The commit: rename the current item, then leave, move or copy it.
  std::u16string RenameCurrent();
  void RenameAndMove();
  void RenameAndCopy();
  // Asks the user for a folder; true when one was confirmed, which is then in `folder`.
  bool PickFolder(const std::u16string& caption, std::u16string& folder);
  // Adds a line to the operation log when logging is on.
  void WriteLog(const std::u16string& text);
  // Editing aids: the caret commands on MEdit, their shortcuts, and the dates
  // of the edit menu.
  tavu::EditMenuState UpdateEditMenu();
  bool IsShortCut(const MSG& msg) override;
  void PPCaretCutBeforeClick();
  void PPCaretCutAfterClick();
  void PPCaretCopyBeforeClick();
  void PPCaretCopyAfterClick();
  void PPCaretXchClick();
  void PPEditPopup();
  void PPDateClick(tk::TMenuItem& sender);

  // Queue and field operations.
  void AddPath(const std::u16string& path);
  void RemoveCurrentItem();
  void ShowQueueHead();
  void LoadCurrentItem();

  // ---- settings and placement
  // Reads "TAVU.ini" in the data folder: the bounds, then the three options,
  // each applied at once with its current value as the default.
  void ReadSettings();
  // Writes the bounds and the three options to "TAVU.ini"; an error is shown
  // and the close goes on, so the window can always be closed.
  bool FormCloseQuery();
  // The client height follows the heights of the rows after a move or resize.
  void WMExitSizeMove() override;
  // The smallest outer size at which the whole button row and one row of the
  // queue show, in pixels at the window's DPI; 0 by 0 before the controls exist.
  SIZE MinimumSize();

  // Makes the word list window, hidden unless its settings ask for it at
  // start-up, for the name field: shown by PPNoteClick, closed first by
  // FormCloseQuery, destroyed with this window.
  TNoteForm& StartNoteWindow();

  // The queued paths, the current item first.
  const tavu::WorkQueue& Queue() const { return queue_; }

  // The command-line arguments FormCreate queues.
  std::vector<std::u16string> Arguments;

  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;

private:
  friend class MainFormTestAccess;

  std::u16string MCopyMoveDir;
  tk::TEdit* MEdit = nullptr;
  std::array<tk::TMenuItem*, 7> MPPDate{}; // entries 1 to 6
  // The shortcut of slot n at index n - 1; all 0 (matching nothing) until
  // the window's creation fills them.
  tavu::ShortCutTable MShortCut{};
  HWND MExp = nullptr;
  // The move or copy under way, while the commit waits for it.
  Pelvane::Transfer* MTransfer = nullptr;
  // A close asked for during a move or copy, done once the commit is over.
  bool MCloseAfterTransfer = false;
  // Set while a move or copy's rename runs: the next item is shown after the transfer.
  bool MHeadAfterTransfer = false;
  // The journal's entry of the OK under way, which its move or copy joins.
  std::optional<tavu::UndoEntry> MJournalEntry;

  class ListBoxQueue : public tavu::QueueList {
  public:
    explicit ListBoxQueue(tk::TListBox& list) : list_(list) {}
    int Count() const override { return list_.Count(); }
    std::u16string Item(int index) const override { return list_.Item(index); }
    void Append(const std::u16string& path) override { list_.Add(path); }
    void Insert(int index, const std::u16string& path) override { list_.Insert(index, path); }
    void Delete(int index) override { list_.Delete(index); }

  private:
    tk::TListBox& list_;
  };

  void RenameAndTransfer(tavu::TransferMode mode);
  void PostRefresh();
  // Records a step of the OK under way in the undo journal; a journal that
  // cannot be read or written is reported and the OK goes on.
  void JournalStep(tavu::StepKind kind, const std::u16string& from, const std::u16string& to);
  void BuildLayout();
  void BuildMenus();
  // Clears the path, shows item 0 and loads it.
  void ShowHead();
  void FindFileManagerWindow();
  // One caret command on MEdit: the new text, then the focus, then the caret.
  void RunCaretCommand(tavu::CaretCommand command);

  std::unique_ptr<TNoteForm> noteForm_;
  ListBoxQueue queueList_;
  tavu::WorkQueue queue_;
  // Set while LoadCurrentItem fills the fields, which then runs the rule once.
  bool loadingFields_ = false;
};

// The program's start-up once it knows it runs alone: the application window
// first (the program looks right below it for the window it was started
// from), then the main window made with the arguments and its creation
// handler run. The main routine runs the message loop afterwards.
std::unique_ptr<TMainForm> StartMainWindow(std::vector<std::u16string> arguments);
