// The main window's commit: OK renames the current item, then leaves it or
// moves or copies it into a picked folder; each step is logged and recorded
// for undo, which also lives here.
#include "forms/main.h"

#include "common/fileops.h"
#include "common/journal.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/shellops.h"
#include "common/undo.h"
#include "core/commit.h"
#include "core/error.h"
#include "toolkit/progress.h"

namespace {

const char16_t kRenameFailed[] =
    u"変更できませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。";
const char16_t kNameTooLong[] =
    u"変更できませんでした。\r\n名前がこのファイルシステムには長すぎます。";

} // namespace

void TMainForm::BtnOKClick() {
  // A click that reaches the disabled window during a move or copy (one
  // posted by another program) would start a second commit inside the first.
  if (MTransfer)
    return;
  switch (ComboBox.ItemIndex()) {
  case 0:
    RenameCurrent();
    break;
  case 1:
    RenameAndMove();
    break;
  case 2:
    RenameAndCopy();
    break;
  default:
    break;
  }
}

std::u16string TMainForm::RenameCurrent() {
  const std::u16string oldPath = EditPath.Text();
  const std::u16string newPath =
      tavu::NewPathFor(Pelvane::IsExistingFile(oldPath), oldPath, EditName.Text(), EditExt.Text());
  std::u16string result;
  // Wine cuts a name that a Linux file system cannot hold to what fits, and
  // reports success.
  if (newPath != oldPath && Pelvane::RunsUnderWine() &&
      !tavu::FitsLinuxFileName(tavu::FileNamePart(newPath))) {
    tk::Application().ShowMessageBox(kNameTooLong, kProgramTitle, MB_OK | MB_ICONERROR);
  } else if (Pelvane::RenameItem(Handle(), oldPath, newPath)) {
    JournalStep(tavu::StepKind::Rename, oldPath, newPath);
    result = newPath;
    // The item has its new name whatever happens to the log: a log error is
    // shown, and the commit still finishes, so the queue never keeps a path
    // that is gone.
    try {
      WriteLog(tavu::RenameLine(oldPath, newPath));
    } catch (...) {
      tk::Application().HandleException();
    }
    RemoveCurrentItem();
    PostRefresh();
  } else {
    tk::Application().ShowMessageBox(kRenameFailed, kProgramTitle, MB_OK | MB_ICONERROR);
  }
  if (!MHeadAfterTransfer)
    ShowQueueHead();
  return result;
}

void TMainForm::PostRefresh() {
  // Only a program started from the file manager (with a path) asks it to refresh.
  if (!MExp || Arguments.empty() || Arguments.front().empty())
    return;
  PostMessageW(MExp, WM_KEYDOWN, VK_F5, 0);
  PostMessageW(MExp, WM_KEYUP, VK_F5, 0);
}

void TMainForm::RenameAndMove() {
  RenameAndTransfer(tavu::TransferMode::Move);
}

void TMainForm::RenameAndCopy() {
  RenameAndTransfer(tavu::TransferMode::Copy);
}

void TMainForm::RenameAndTransfer(tavu::TransferMode mode) {
  const bool move = mode == tavu::TransferMode::Move;
  std::u16string folder = MCopyMoveDir;
  if (!PickFolder(move ? u"移動先フォルダの選択" : u"コピー先フォルダの選択", folder))
    return;
  // The next item comes up once the move or copy is over.
  MHeadAfterTransfer = true;
  const std::u16string renamed = RenameCurrent();
  MHeadAfterTransfer = false;
  if (renamed.empty()) {
    ShowQueueHead();
    return;
  }
  const std::u16string destination = tavu::DestinationFor(folder, renamed);
  const bool taken = Pelvane::IsExistingFile(renamed) ? Pelvane::IsExistingFile(destination)
                                                      : Pelvane::IsExistingFolder(destination);
  auto outcome = tavu::TransferOutcome::Done;
  if (taken) {
    outcome = tavu::TransferOutcome::Stopped;
    MessageBeep(0);
  } else {
    const bool file = Pelvane::IsExistingFile(renamed);
    Pelvane::Transfer transfer;
    MTransfer = &transfer;
    outcome = tk::RunTransfer(
        Handle(), move ? u"TAVU - 移動" : u"TAVU - コピー", Pelvane::FileNamePart(renamed),
        transfer, [&] {
          if (file)
            (move ? Pelvane::MoveFileTo : Pelvane::CopyFileTo)(renamed, destination, &transfer);
          else
            (move ? Pelvane::MoveFolderTo : Pelvane::CopyFolderTo)(renamed, destination, &transfer);
        });
    MTransfer = nullptr;
    if (outcome != tavu::TransferOutcome::Done)
      MessageBeep(0);
  }
  if (outcome == tavu::TransferOutcome::Done)
    JournalStep(move ? tavu::StepKind::Move : tavu::StepKind::Copy, renamed, destination);
  MCopyMoveDir = folder;
  const auto next = [this] {
    ShowQueueHead();
    // A close asked for during the transfer, unless the emptied queue closed the window already.
    if (std::exchange(MCloseAfterTransfer, false) && IsWindowVisible(Handle()))
      Close();
  };
  try {
    WriteLog(tavu::TransferLine(renamed, destination, mode, outcome));
  } catch (...) {
    next();
    throw;
  }
  next();
}

bool TMainForm::PickFolder(const std::u16string& caption, std::u16string& folder) {
  tk::TModalScope modal;
  return Pelvane::BrowseForFolder(tk::Application().Handle(), Handle(), caption, folder);
}

void TMainForm::WriteLog(const std::u16string& text) {
  if (!PPLog.Checked)
    return;
  const std::u16string path = Pelvane::DataFolder + u"TAVU.log";
  std::vector<std::u16string> lines;
  Pelvane::LoadList(lines, path, tavu::TextEncoding::Ansi);
  tavu::InsertLogLine(lines, tavu::LogLine(Pelvane::LogTimeStamp(), text));
  // A reader that does not let go within the wait makes this throw: the
  // entry is never lost without a word.
  Pelvane::SaveListIfFree(lines, path, tavu::TextEncoding::Ansi);
}

void TMainForm::JournalStep(tavu::StepKind kind, const std::u16string& from,
                            const std::u16string& to) {
  // A rename starts the OK's entry; a name that stayed is no step of it.
  if (kind == tavu::StepKind::Rename)
    MJournalEntry.reset();
  if (kind == tavu::StepKind::Rename && tavu::LeavesNameUnchanged(from, to))
    return;
  try {
    if (auto step = Pelvane::DoneStep(kind, from, to))
      MJournalEntry = Pelvane::RecordInJournal(MJournalEntry, std::move(*step));
  } catch (const tavu::Exception&) {
    tk::Application().HandleException();
  }
}

void TMainForm::PPUndoLastClick() {
  const Pelvane::UndoOutcome undone = Pelvane::TakeBackNewest(Handle());
  if (!undone.entry) {
    tk::Application().ShowMessageBox(tavu::NothingToUndoText(), kProgramTitle,
                                     MB_OK | MB_ICONWARNING);
    return;
  }
  if (!undone.done.empty()) {
    // What was taken back stays so; the journal and the log follow it as
    // far as they can, each failure shown on its own.
    try {
      Pelvane::ReplaceInJournal(*undone.entry, undone.left);
    } catch (const tavu::Exception&) {
      tk::Application().HandleException();
    }
    try {
      for (const auto& step : undone.done)
        WriteLog(tavu::UndoLogText(step));
    } catch (const tavu::Exception&) {
      tk::Application().HandleException();
    }
    PostRefresh();
  }
  if (undone.refusal != tavu::UndoRefusal::None) {
    tk::Application().ShowMessageBox(
        tavu::RefusalText(undone.refusal, undone.left.steps.back(), undone.done), kProgramTitle,
        MB_OK | MB_ICONWARNING);
    return;
  }
  // The item is back as it was before its OK: current again, so that the
  // right name can be typed at once.
  queue_.PutFirst(undone.entry->steps.front().from);
  ListBox.SetItemIndex(0);
  ShowHead();
  EditName.SetFocus();
}
