#include "core/inifile.h"

#include <cstdint>

namespace tavu {
namespace {

constexpr char16_t kReplacement = u'\xFFFD';

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

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Each ill-formed sequence becomes one U+FFFD, ending where it stops being a
// valid prefix, so a damaged byte never swallows the line break after it.
std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int need = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      cp = lead & 0x0F;
      // No overlong forms, no encoded surrogates.
      if (lead == 0xE0)
        low = 0xA0;
      if (lead == 0xED)
        high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      cp = lead & 0x07;
      if (lead == 0xF0)
        low = 0x90;
      if (lead == 0xF4)
        high = 0x8F;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    int got = 0;
    for (; got < need && j < bytes.size(); ++got, ++j) {
      const auto c = static_cast<unsigned char>(bytes[j]);
      if (c < low || c > high)
        break;
      cp = (cp << 6) | (c & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (got < need)
      out.push_back(kReplacement);
    else
      AppendCodePoint(out, cp);
    i = j;
  }
  return out;
}

// An unpaired surrogate has no UTF-8 form; it is written as U+FFFD.
std::string EncodeUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// Code units are kept as they are, unpaired surrogates included, so a UTF-16
// file comes back byte for byte. A lone last byte is half a code unit: U+FFFD.
std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2 + 1);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0));
  }
  if (bytes.size() % 2 != 0)
    out.push_back(kReplacement);
  return out;
}

std::string EncodeUtf16(const std::u16string& text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char16_t c : text) {
    const auto high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
  }
  return out;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
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
  std::u16string text;
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    encoding_ = Encoding::Utf8;
    text = DecodeUtf8(bytes.substr(3));
  } else if (StartsWith(bytes, "\xFF\xFE")) {
    encoding_ = Encoding::Utf16LE;
    text = DecodeUtf16(bytes.substr(2), false);
  } else if (StartsWith(bytes, "\xFE\xFF")) {
    encoding_ = Encoding::Utf16BE;
    text = DecodeUtf16(bytes.substr(2), true);
  } else {
    text = codePage_.Decode(bytes);
  }
  Parse(text);
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
  switch (encoding_) {
  case Encoding::Utf8:
    return "\xEF\xBB\xBF" + EncodeUtf8(text);
  case Encoding::Utf16LE:
    return "\xFF\xFE" + EncodeUtf16(text, false);
  case Encoding::Utf16BE:
    return "\xFE\xFF" + EncodeUtf16(text, true);
  case Encoding::Ansi:
    break;
  }
  return codePage_.Encode(text);
}

} // namespace tavu
