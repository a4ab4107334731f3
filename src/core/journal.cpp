#include "core/journal.h"

#include <algorithm>

#include "core/commit.h"
#include "core/inifile.h"
#include "core/listfile.h"
#include "core/paths.h"

namespace tavu {

namespace {

constexpr char16_t kSeparator = u'\t';
constexpr char16_t kEscape = u'%';

bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}
bool IsControl(char16_t c) {
  return c < 0x20 || c == 0x7F;
}

// '%', the control characters (the tab and the line ends among them) and
// lone surrogates, which UTF-8 cannot carry, as %XXXX; the rest as it is.
std::u16string Escaped(const std::u16string& text) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out.append({c, text[++i]});
    } else if (c == kEscape || IsControl(c) || IsHigh(c) || IsLow(c)) {
      out.append({kEscape, kHex[c >> 12], kHex[(c >> 8) & 15], kHex[(c >> 4) & 15], kHex[c & 15]});
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::u16string> Unescaped(std::u16string_view field) {
  std::u16string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != kEscape) {
      out += field[i];
      continue;
    }
    if (field.size() - i < 5)
      return std::nullopt;
    unsigned value = 0;
    for (std::size_t k = 1; k <= 4; ++k) {
      const int digit = HexDigit(field[i + k]);
      if (digit < 0)
        return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    out += static_cast<char16_t>(value);
    i += 4;
  }
  return out;
}

std::u16string Decimal(std::uint64_t n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}

// Decimal digits without a sign or a leading zero, at most `max`.
std::optional<std::uint64_t> ParseDecimal(std::u16string_view text, std::uint64_t max) {
  if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == u'0'))
    return std::nullopt;
  std::uint64_t value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9')
      return std::nullopt;
    const unsigned digit = c - u'0';
    if (value > (max - digit) / 10)
      return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// A drive path "X:\..." or a UNC path "\\server\share...".
bool IsFullPath(const std::u16string& path) {
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\')
    return (path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z');
  if (path.size() < 5 || path[0] != u'\\' || path[1] != u'\\')
    return false;
  const auto server = path.find(u'\\', 2);
  return server != std::u16string::npos && server > 2 && server + 1 < path.size() &&
         path[server + 1] != u'\\';
}

bool IsValidPath(const std::u16string& path) {
  return IsFullPath(path) && path.size() <= kMaxPathLength &&
         path.find(u'\0') == std::u16string::npos;
}

bool IsValidStep(const UndoStep& s) {
  if (!IsValidPath(s.from) || !IsValidPath(s.to) || s.from == s.to)
    return false;
  if (s.kind != StepKind::Copy && (s.size != 0 || s.lastWrite != 0))
    return false;
  if (s.kind == StepKind::Rename)
    return FolderPart(s.from) == FolderPart(s.to);
  return FileNamePart(s.from) == FileNamePart(s.to);
}

char16_t TagOf(StepKind kind) {
  switch (kind) {
  case StepKind::Move:
    return u'M';
  case StepKind::Copy:
    return u'C';
  case StepKind::Rename:
    break;
  }
  return u'R';
}

// The tab-separated fields of a line; nothing when there are more than two
// steps can have.
std::optional<std::vector<std::u16string_view>> Fields(std::u16string_view line) {
  constexpr std::size_t kMost = 14;
  std::vector<std::u16string_view> fields;
  for (std::size_t start = 0; fields.size() < kMost;) {
    const auto end = line.find(kSeparator, start);
    if (end == std::u16string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return std::nullopt;
}

} // namespace

bool IsValidEntry(const UndoEntry& entry) {
  const auto& steps = entry.steps;
  if (steps.empty() || steps.size() > 2 || !std::all_of(steps.begin(), steps.end(), IsValidStep))
    return false;
  return steps.size() == 1 || (steps[0].kind == StepKind::Rename &&
                               steps[1].kind != StepKind::Rename && steps[1].from == steps[0].to);
}

std::u16string EntryLine(const UndoEntry& entry) {
  std::u16string line;
  for (const auto& s : entry.steps) {
    if (!line.empty())
      line += kSeparator;
    line += TagOf(s.kind);
    std::vector<std::u16string> fields = {Escaped(s.from), Escaped(s.to),
                                          Decimal(s.identity.volume), Decimal(s.identity.index)};
    if (s.kind == StepKind::Copy)
      fields.insert(fields.end(), {Decimal(s.size), Decimal(s.lastWrite)});
    for (const auto& field : fields)
      line.append(1, kSeparator).append(field);
  }
  return line;
}

std::optional<UndoEntry> ParseEntryLine(std::u16string_view line) {
  // Every control character of a path was written escaped.
  if (std::any_of(line.begin(), line.end(),
                  [](char16_t c) { return IsControl(c) && c != kSeparator; }))
    return std::nullopt;
  const auto found = Fields(line);
  if (!found)
    return std::nullopt;
  const auto& fields = *found;
  UndoEntry entry;
  for (std::size_t i = 0; i < fields.size();) {
    UndoStep s;
    if (fields[i] == u"R")
      s.kind = StepKind::Rename;
    else if (fields[i] == u"M")
      s.kind = StepKind::Move;
    else if (fields[i] == u"C")
      s.kind = StepKind::Copy;
    else
      return std::nullopt;
    const std::size_t count = s.kind == StepKind::Copy ? 7 : 5;
    if (fields.size() - i < count)
      return std::nullopt;
    auto from = Unescaped(fields[i + 1]), to = Unescaped(fields[i + 2]);
    auto volume = ParseDecimal(fields[i + 3], UINT32_MAX);
    auto index = ParseDecimal(fields[i + 4], UINT64_MAX);
    if (!from || !to || !volume || !index)
      return std::nullopt;
    s.from = std::move(*from);
    s.to = std::move(*to);
    s.identity = {static_cast<std::uint32_t>(*volume), *index};
    if (s.kind == StepKind::Copy) {
      auto size = ParseDecimal(fields[i + 5], UINT64_MAX);
      auto lastWrite = ParseDecimal(fields[i + 6], UINT64_MAX);
      if (!size || !lastWrite)
        return std::nullopt;
      s.size = *size;
      s.lastWrite = *lastWrite;
    }
    entry.steps.push_back(std::move(s));
    i += count;
  }
  if (!IsValidEntry(entry))
    return std::nullopt;
  return entry;
}

std::string JournalBytes(const UndoJournal& journal) {
  std::string bytes;
  for (const auto& entry : journal)
    bytes.append(EncodeUtf8(EntryLine(entry))).append("\r\n");
  return bytes;
}

UndoJournal ParseJournal(std::string_view bytes) {
  // Of a file cut short only the lines that end within what was read count.
  if (bytes.size() > kJournalMaxBytes) {
    bytes = bytes.substr(0, kJournalMaxBytes);
    const auto end = bytes.find_last_of("\r\n");
    bytes = bytes.substr(0, end == std::string_view::npos ? 0 : end);
  }
  if (bytes.starts_with("\xEF\xBB\xBF"))
    bytes.remove_prefix(3);
  UndoJournal journal;
  for (std::size_t start = 0; start < bytes.size() && journal.size() < kJournalLimit;) {
    auto end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
      end = bytes.size();
    const auto raw = bytes.substr(start, end - start);
    start = end + 1;
    // A line that is no well-formed UTF-8 does not read back as the bytes it is.
    const auto line = DecodeUtf8(raw);
    if (EncodeUtf8(line) != raw)
      continue;
    if (auto entry = ParseEntryLine(line))
      journal.push_back(std::move(*entry));
  }
  return journal;
}

void InsertEntry(UndoJournal& journal, UndoEntry entry, std::size_t limit) {
  InsertNewest(journal, std::move(entry), limit);
}

std::optional<UndoEntry> RecordStep(UndoJournal& journal, const std::optional<UndoEntry>& opened,
                                    UndoStep step) {
  if (step.kind != StepKind::Rename && opened) {
    const auto it = std::find(journal.begin(), journal.end(), *opened);
    if (it != journal.end()) {
      UndoEntry joined = *it;
      joined.steps.push_back(step);
      if (IsValidEntry(joined)) {
        journal.erase(it);
        InsertEntry(journal, joined);
        return joined;
      }
    }
  }
  UndoEntry alone{{std::move(step)}};
  if (!IsValidEntry(alone))
    return std::nullopt;
  InsertEntry(journal, alone);
  return alone;
}

void ReplaceEntry(UndoJournal& journal, const UndoEntry& entry, const UndoEntry& left) {
  const auto it = std::find(journal.begin(), journal.end(), entry);
  if (it == journal.end())
    return;
  if (left.steps.empty())
    journal.erase(it);
  else
    *it = left;
}

UndoRefusal CheckUndo(const UndoStep& step, const Found& at, const Found& back, bool folderThere) {
  if (!at.exists)
    return UndoRefusal::Gone;
  // An item that cannot be asked for its identity cannot be vouched for.
  if (!at.identity)
    return UndoRefusal::Failed;
  if (*at.identity != step.identity)
    return UndoRefusal::Replaced;
  if (step.kind == StepKind::Copy)
    return at.size == step.size && at.lastWrite == step.lastWrite ? UndoRefusal::None
                                                                  : UndoRefusal::Changed;
  if (step.kind == StepKind::Move && !folderThere)
    return UndoRefusal::FolderGone;
  // A change of letter case only finds the item itself at its old name.
  const bool itself = step.kind == StepKind::Rename && back.identity == step.identity;
  return back.exists && !itself ? UndoRefusal::Taken : UndoRefusal::None;
}

std::u16string RefusalText(UndoRefusal why, const UndoStep& step,
                           const std::vector<UndoStep>& done) {
  std::u16string text = u"元に戻せません。";
  const auto quoted = [](const std::u16string& path) { return u"「" + path + u"」"; };
  switch (why) {
  case UndoRefusal::Gone:
    text += u"\r\n" + quoted(step.to) + u"が見つかりません。";
    break;
  case UndoRefusal::Replaced:
    text += u"\r\n" + quoted(step.to) + u"は別のファイルまたはフォルダに置き換えられています。";
    break;
  case UndoRefusal::Changed:
    text += u"\r\nコピー" + quoted(step.to) + u"はその後変更されています。";
    break;
  case UndoRefusal::Taken:
    text += u"\r\n" + quoted(step.from) + u"はほかのファイルまたはフォルダが使っています。";
    break;
  case UndoRefusal::FolderGone:
    text += u"\r\n移動元のフォルダ" + quoted(FolderOf(step.from)) + u"が見つかりません。";
    break;
  case UndoRefusal::Failed:
    text += u"\r\n" + quoted(step.to) +
            u"を戻せませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。";
    break;
  case UndoRefusal::None:
    break;
  }
  for (const auto& s : done)
    text += s.kind == StepKind::Copy   ? u"\r\nコピーはごみ箱に移しました。"
            : s.kind == StepKind::Move ? u"\r\n移動は元に戻しました。"
                                       : u"\r\n名前は元に戻しました。";
  return text;
}

std::u16string NothingToUndoText() {
  return u"元に戻せません。\r\n元に戻せる変更がありません。";
}

std::u16string UndoLogText(const UndoStep& step) {
  const std::u16string line =
      step.kind == StepKind::Rename
          ? RenameLine(step.to, step.from)
          : TransferLine(step.to, step.from,
                         step.kind == StepKind::Move ? TransferMode::Move : TransferMode::Copy,
                         TransferOutcome::Done);
  return line + u" 元に戻す";
}

} // namespace tavu
