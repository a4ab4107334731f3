#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/listfile.h"

namespace tavu {

// The value of a hexadecimal digit in either case, or -1.
int HexDigit(char16_t c);

// A matching key for a section or key name: two names are the same name exactly
// when their keys are equal (for instance a locale sort key that ignores case).
using IniNameKey = std::function<std::string(const std::u16string&)>;

// The name with A-Z folded to a-z, as bytes; every other code unit stays distinct.
std::string AsciiNameKey(const std::u16string& name);

// A settings file held in memory: parsed once from the file's bytes, changed by
// the writes, and turned back into bytes by Save. The code page must outlive it.
class IniFile {
public:
  // A file that did not exist: every read gives its default, and Save writes
  // the ANSI code page without a mark.
  explicit IniFile(const CodePage& codePage, IniNameKey nameKey = AsciiNameKey);
  // A file with the given content, in the encoding its byte-order mark names.
  IniFile(std::string_view bytes, const CodePage& codePage, IniNameKey nameKey = AsciiNameKey);
  // The code page is kept by reference: a temporary one would dangle.
  IniFile(const CodePage&&, IniNameKey = AsciiNameKey) = delete;
  IniFile(std::string_view, const CodePage&&, IniNameKey = AsciiNameKey) = delete;

  // The value of the key's first occurrence; nothing for a missing key or a key without "=".
  std::optional<std::u16string> ReadString(const std::u16string& section,
                                           const std::u16string& key) const;
  // The value as a 32-bit integer (decimal, "0x…" or "$…" hexadecimal); the
  // default when the key is missing or its value does not convert.
  int ReadInteger(const std::u16string& section, const std::u16string& key, int defaultValue) const;
  // True when the value, read as an integer with the default 1 or 0, is not 0.
  bool ReadBool(const std::u16string& section, const std::u16string& key, bool defaultValue) const;

  // Writes the value in decimal, in place of the key's first occurrence or
  // appended to its section (a new section goes at the end).
  void WriteInteger(const std::u16string& section, const std::u16string& key, int value);
  // Writes "1" or "0" as WriteInteger places it.
  void WriteBool(const std::u16string& section, const std::u16string& key, bool value);

  // The whole file as it is to be written: each section's line, its key lines
  // and one empty line, every line ended by CR LF, in the encoding read, with its mark.
  std::string Save() const;

private:
  struct Entry {
    std::u16string key;
    std::optional<std::u16string> value; // nothing: a key line without "="
    std::string match;                   // the key's name key
  };
  struct Section {
    std::u16string name;
    std::vector<Entry> entries;
  };

  void Parse(const std::u16string& text);
  // Positions of the first section or key of that name, if any.
  std::optional<std::size_t> FindSection(const std::u16string& name) const;
  std::optional<std::size_t> FindEntry(const Section& section, const std::u16string& key) const;
  Entry MakeEntry(std::u16string key, std::optional<std::u16string> value) const;
  void Write(const std::u16string& section, const std::u16string& key, std::u16string value);

  const CodePage& codePage_;
  IniNameKey nameKey_;
  TextEncoding encoding_ = TextEncoding::Ansi;
  std::vector<Section> sections_;
  // Section name keys to positions: a file of many sections parses in linear time.
  std::unordered_map<std::string, std::size_t> sectionIndex_;
};

} // namespace tavu
