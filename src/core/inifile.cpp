#include "core/inifile.h"

#include <cstdint>

namespace tavu {
namespace {

bool IsBlank(char16_t c) {
  return c <= u' ';
}

std::u16string TrimLeft(std::u16string_view s) {
  std::size_t begin = 0;
  while (begin < s.size() && IsBlank(s[begin]))
    ++begin;
  return std::u16string(s.substr(begin));
}

std::u16string TrimRight(std::u16string_view s) {
  std::size_t end = s.size();
  while (end > 0 && IsBlank(s[end - 1]))
    --end;
  return std::u16string(s.substr(0, end));
}

std::u16string Trim(std::u16string_view s) {
  return TrimLeft(TrimRight(s));
}

// Digits only, at least one, and the value within 32 bits; hexadecimal
// carries no sign, so it reaches 0x7FFFFFFF at most.
std::optional<int> ParseInteger(std::u16string_view text) {
  int base = 10;
  bool negative = false;
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && text[0] == u'$') {
    base = 16;
    text.remove_prefix(1);
  } else if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  if (text.empty())
    return std::nullopt;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t value = 0;
  for (const char16_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || digit >= base)
      return std::nullopt;
    value = value * base + digit;
    if (value > limit)
      return std::nullopt;
  }
  return static_cast<int>(negative ? -value : value);
}

std::u16string Decimal(int value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

} // namespace

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

std::string AsciiNameKey(const std::u16string& name) {
  std::string key;
  key.reserve(name.size() * 2);
  for (char16_t c : name) {
    if (c >= u'A' && c <= u'Z')
      c += u'a' - u'A';
    key.push_back(static_cast<char>(c & 0xFF));
    key.push_back(static_cast<char>(c >> 8));
  }
  return key;
}

IniFile::IniFile(const CodePage& codePage, IniNameKey nameKey)
    : codePage_(codePage), nameKey_(std::move(nameKey)) {}

IniFile::IniFile(std::string_view bytes, const CodePage& codePage, IniNameKey nameKey)
    : codePage_(codePage), nameKey_(std::move(nameKey)) {
  encoding_ = DetectEncoding(bytes);
  Parse(DecodeText(bytes, encoding_, codePage_));
}

void IniFile::Parse(const std::u16string& text) {
  // Index of the section taking key lines; none before the first section and
  // inside a repeated one.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t current = kNone; // the section lines belong to; none before the first
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos)
      end = text.size();
    const std::u16string line = Trim(std::u16string_view(text).substr(start, end - start));
    start = end + 1;
    if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
      ++start;

    if (line.empty() || line.front() == u';')
      continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      std::u16string name = Trim(std::u16string_view(line).substr(1, line.size() - 2));
      const auto [at, added] = sectionIndex_.emplace(nameKey_(name), sections_.size());
      if (added) {
        sections_.push_back(Section{std::move(name), {}});
        current = at->second;
      } else {
        current = kNone;
      }
      continue;
    }
    if (current == kNone)
      continue;
    const std::size_t equals = line.find(u'=');
    auto& entries = sections_[current].entries;
    if (equals == std::u16string::npos)
      entries.push_back(MakeEntry(line, std::nullopt));
    else
      entries.push_back(MakeEntry(TrimRight(std::u16string_view(line).substr(0, equals)),
                                  TrimLeft(std::u16string_view(line).substr(equals + 1))));
  }
}

IniFile::Entry IniFile::MakeEntry(std::u16string key, std::optional<std::u16string> value) const {
  std::string match = nameKey_(key);
  return Entry{std::move(key), std::move(value), std::move(match)};
}

std::optional<std::size_t> IniFile::FindSection(const std::u16string& name) const {
  const auto found = sectionIndex_.find(nameKey_(name));
  if (found == sectionIndex_.end())
    return std::nullopt;
  return found->second;
}

std::optional<std::size_t> IniFile::FindEntry(const Section& section,
                                              const std::u16string& key) const {
  const std::string match = nameKey_(key);
  for (std::size_t i = 0; i < section.entries.size(); ++i)
    if (section.entries[i].match == match)
      return i;
  return std::nullopt;
}

std::optional<std::u16string> IniFile::ReadString(const std::u16string& section,
                                                  const std::u16string& key) const {
  const auto s = FindSection(section);
  if (!s)
    return std::nullopt;
  const auto e = FindEntry(sections_[*s], key);
  if (!e)
    return std::nullopt;
  return sections_[*s].entries[*e].value;
}

int IniFile::ReadInteger(const std::u16string& section, const std::u16string& key,
                         int defaultValue) const {
  const auto text = ReadString(section, key);
  if (!text)
    return defaultValue;
  return ParseInteger(*text).value_or(defaultValue);
}

bool IniFile::ReadBool(const std::u16string& section, const std::u16string& key,
                       bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::Write(const std::u16string& section, const std::u16string& key,
                    std::u16string value) {
  auto s = FindSection(section);
  if (!s) {
    s = sections_.size();
    sectionIndex_.emplace(nameKey_(section), *s);
    sections_.push_back(Section{section, {}});
  }
  auto& entries = sections_[*s].entries;
  if (const auto e = FindEntry(sections_[*s], key))
    entries[*e].value = std::move(value);
  else
    entries.push_back(MakeEntry(key, std::move(value)));
}

void IniFile::WriteInteger(const std::u16string& section, const std::u16string& key, int value) {
  Write(section, key, Decimal(value));
}

void IniFile::WriteBool(const std::u16string& section, const std::u16string& key, bool value) {
  Write(section, key, value ? u"1" : u"0");
}

std::string IniFile::Save() const {
  std::u16string text;
  for (const auto& section : sections_) {
    text += u'[' + section.name + u"]\r\n";
    for (const auto& entry : section.entries) {
      text += entry.key;
      if (entry.value)
        text += u'=' + *entry.value;
      text += u"\r\n";
    }
    text += u"\r\n";
  }
  return EncodeText(text, encoding_, codePage_);
}

} // namespace tavu
