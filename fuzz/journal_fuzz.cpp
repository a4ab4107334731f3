// The undo journal: any bytes read as a journal, and any entry written and
// read back.
#include "core/journal.h"
#include "core/listfile.h"
#include "core/paths.h"
#include "fuzz.h"

#include <algorithm>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

void CheckFile(std::string_view bytes) {
  const UndoJournal journal = ParseJournal(bytes);
  FUZZ_CHECK(journal.size() <= kJournalLimit);
  for (const auto& entry : journal) {
    // Only entries an OK can have made come out, so an undo never acts on a
    // relative path, a path a NUL would cut short, or a rename across folders.
    FUZZ_CHECK(IsValidEntry(entry));
    for (const auto& step : entry.steps) {
      FUZZ_CHECK(step.from.find(u'\0') == std::u16string::npos);
      FUZZ_CHECK(step.from.size() <= kMaxPathLength && step.to.size() <= kMaxPathLength);
    }
  }
  // Written again, the file is UTF-8 without a mark, CR LF after each line,
  // and reads as the same journal.
  const std::string written = JournalBytes(journal);
  FUZZ_CHECK(!written.starts_with("\xEF\xBB\xBF"));
  FUZZ_CHECK(EncodeUtf8(DecodeUtf8(written)) == written);
  FUZZ_CHECK(std::count(written.begin(), written.end(), '\n') ==
             static_cast<std::ptrdiff_t>(journal.size()));
  FUZZ_CHECK(written.find("\r\n") == written.find('\r'));
  FUZZ_CHECK(ParseJournal(written) == journal);
  // A line of the file read alone gives its entry.
  if (!journal.empty())
    FUZZ_CHECK(ParseEntryLine(EntryLine(journal.front())) == journal.front());
}

// Paths from the input over a small set of shapes, so that valid entries come up often.
std::u16string PathFrom(Reader& in) {
  static const char16_t* const kRoots[] = {u"C:\\", u"\\\\srv\\share\\", u"e:\\d\\", u"C:", u""};
  return kRoots[in.Byte() % std::size(kRoots)] + in.Text();
}

void CheckEntry(Reader& in) {
  UndoEntry entry;
  for (int n = 1 + in.Byte() % 3; n > 0 && !in.Empty(); --n) {
    UndoStep step;
    step.kind = static_cast<StepKind>(in.Byte() % 3);
    step.from = PathFrom(in);
    const std::uint8_t shape = in.Byte();
    // Mostly what a commit makes: a new name in the same folder, or the same
    // name in another folder.
    if (shape % 4 == 0)
      step.to = PathFrom(in);
    else if (step.kind == StepKind::Rename)
      step.to = FolderPart(step.from) + in.Text();
    else
      step.to = u"E:\\t\\" + FileNamePart(step.from);
    if (!entry.steps.empty() && shape % 8 != 1)
      step.from = entry.steps.back().to;
    step.identity = {in.Word(), std::uint64_t{in.Word()} << 40};
    if (step.kind == StepKind::Copy) {
      step.size = in.Word();
      step.lastWrite = static_cast<std::uint64_t>(in.Word()) << 48;
    }
    entry.steps.push_back(step);
  }
  const auto read = ParseEntryLine(EntryLine(entry));
  FUZZ_CHECK(read.has_value() == IsValidEntry(entry));
  if (!read)
    return;
  FUZZ_CHECK(*read == entry);
  // The file carries it whole, line ends, tabs and lone surrogates in its paths and all.
  UndoJournal journal{entry};
  FUZZ_CHECK(ParseJournal(JournalBytes(journal)) == journal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckFile(std::string_view(reinterpret_cast<const char*>(data), size));
  Reader in(data, size);
  CheckEntry(in);
  return 0;
}
