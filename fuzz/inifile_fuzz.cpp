// The settings file: what the parser makes of any bytes is checked against a
// line-by-line model of the format; then writes, a save, and a second parse
// of the saved bytes, which must give the same file and the same bytes again.
#include "core/inifile.h"
#include "core/listfile.h"
#include "fuzz.h"

#include <charconv>
#include <climits>
#include <optional>
#include <set>
#include <vector>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

bool IsBlank(char16_t c) {
  return c <= u' ';
}

std::u16string TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  return std::u16string(s);
}

std::u16string TrimRight(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return std::u16string(s);
}

std::u16string Trim(std::u16string_view s) {
  return TrimLeft(TrimRight(s));
}

// Only ASCII letters and digits count, so that many different names meet
// under one key, the way a locale's case- and width-blind key makes them meet.
std::string CoarseKey(const std::u16string& name) {
  std::string key;
  for (char16_t c : name) {
    if (c >= u'A' && c <= u'Z')
      c += u'a' - u'A';
    if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
      key.push_back(static_cast<char>(c));
  }
  return key;
}

// The integer a value stands for, worked out with the standard conversions:
// decimal with one optional sign, or hexadecimal after "0x" or "$", within 32 bits.
std::optional<int> IntegerOf(const std::u16string& value) {
  std::string text;
  for (const char16_t c : value)
    text.push_back(c < 0x80 ? static_cast<char>(c) : '\x01');
  std::string_view digits = text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  } else if (digits.starts_with('$')) {
    base = 16;
    digits.remove_prefix(1);
  } else if (digits.starts_with('+')) {
    digits.remove_prefix(1);
  }
  // from_chars takes a minus sign of its own; only decimal may have one, and only once.
  if (digits.empty() || digits[0] == '+' || (digits[0] == '-' && (base == 16 || text[0] == '+')))
    return std::nullopt;
  long long n = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n, base);
  if (error != std::errc() || end != digits.data() + digits.size() || n < INT_MIN || n > INT_MAX)
    return std::nullopt;
  return static_cast<int>(n);
}

struct ModelEntry {
  std::u16string key;
  std::optional<std::u16string> value;
  bool operator==(const ModelEntry&) const = default;
};
struct ModelSection {
  std::u16string name;
  std::vector<ModelEntry> entries;
  bool operator==(const ModelSection&) const = default;
};
using Model = std::vector<ModelSection>;

// The file as its lines say it: a section's first heading opens it, a
// repeated heading and everything under it are left out, comments and empty
// lines go, and each key line keeps its key and value trimmed.
Model ModelOf(const std::u16string& text, const IniNameKey& nameKey) {
  Model model;
  std::set<std::string> seen;
  bool inSection = false;
  for (const auto& raw : SplitLines(text)) {
    const auto line = Trim(raw);
    if (line.empty() || line[0] == u';')
      continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      auto name = Trim(std::u16string_view(line).substr(1, line.size() - 2));
      inSection = seen.insert(nameKey(name)).second;
      if (inSection)
        model.push_back({std::move(name), {}});
      continue;
    }
    if (!inSection)
      continue;
    const auto equals = line.find(u'=');
    if (equals == std::u16string::npos)
      model.back().entries.push_back({line, std::nullopt});
    else
      model.back().entries.push_back({TrimRight(std::u16string_view(line).substr(0, equals)),
                                      TrimLeft(std::u16string_view(line).substr(equals + 1))});
  }
  return model;
}

std::u16string SavedText(const Model& model) {
  std::u16string text;
  for (const auto& section : model) {
    text += u'[' + section.name + u"]\r\n";
    for (const auto& entry : section.entries)
      text += entry.key + (entry.value ? u'=' + *entry.value : u"") + u"\r\n";
    text += u"\r\n";
  }
  return text;
}

// A write as the model sees it: the first section and key of that name, else appended.
void ModelWrite(Model& model, const IniNameKey& nameKey, const std::u16string& section,
                const std::u16string& key, const std::u16string& value) {
  ModelSection* target = nullptr;
  for (auto& s : model)
    if (!target && nameKey(s.name) == nameKey(section))
      target = &s;
  if (!target) {
    model.push_back({section, {}});
    target = &model.back();
  }
  for (auto& e : target->entries) {
    if (nameKey(e.key) == nameKey(key)) {
      e.value = value;
      return;
    }
  }
  target->entries.push_back({key, value});
}

// Every key of the model reads as its first occurrence in its section.
void CheckReads(const IniFile& ini, const Model& model, const IniNameKey& nameKey) {
  for (const auto& section : model) {
    for (const auto& entry : section.entries) {
      const ModelEntry* first = nullptr;
      for (const auto& e : section.entries)
        if (!first && nameKey(e.key) == nameKey(entry.key))
          first = &e;
      FUZZ_CHECK(ini.ReadString(section.name, entry.key) == first->value);
      const auto number = first->value ? IntegerOf(*first->value) : std::nullopt;
      FUZZ_CHECK(ini.ReadInteger(section.name, entry.key, 7) == number.value_or(7));
      FUZZ_CHECK(ini.ReadInteger(section.name, entry.key, -8) == number.value_or(-8));
      FUZZ_CHECK(ini.ReadBool(section.name, entry.key, true) == (number.value_or(1) != 0));
    }
  }
}

std::u16string Decimal(int value) {
  const auto digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

void RoundTrip(std::string_view bytes, const IniNameKey& nameKey) {
  static const Latin1 latin1;
  const TextEncoding encoding = DetectEncoding(bytes);
  const std::u16string text = DecodeText(bytes, encoding, latin1);
  Model model = ModelOf(text, nameKey);

  IniFile ini(bytes, latin1, nameKey);
  CheckReads(ini, model, nameKey);

  // Writes into what is there and into what is not, at the edges of the range.
  static constexpr int kValues[] = {INT_MIN, -1, 0, INT_MAX};
  std::size_t n = 0;
  for (std::size_t s = 0; s < model.size() && n < 4; ++s) {
    for (std::size_t e = 0; e < model[s].entries.size() && n < 4; e += 2, ++n) {
      const auto section = model[s].name, key = model[s].entries[e].key;
      ini.WriteInteger(section, key, kValues[n]);
      ModelWrite(model, nameKey, section, key, Decimal(kValues[n]));
      FUZZ_CHECK(ini.ReadInteger(section, key, 5) == kValues[n]);
    }
  }
  const std::u16string firstSection = model.empty() ? u"Fuzz" : model.front().name;
  ini.WriteInteger(firstSection, u"FuzzNew", INT_MIN);
  ModelWrite(model, nameKey, firstSection, u"FuzzNew", Decimal(INT_MIN));
  ini.WriteBool(u"Fuzz Section", u"Flag", true);
  ModelWrite(model, nameKey, u"Fuzz Section", u"Flag", u"1");
  FUZZ_CHECK(ini.ReadBool(u"Fuzz Section", u"Flag", false));
  CheckReads(ini, model, nameKey);

  // The saved bytes are the model's lines in the encoding read, with its mark.
  const std::string saved = ini.Save();
  FUZZ_CHECK(saved == EncodeText(SavedText(model), encoding, latin1));

  // Read again, the saved file is the same file, and saves to the same bytes.
  FUZZ_CHECK(DetectEncoding(saved) == encoding);
  const IniFile again(saved, latin1, nameKey);
  FUZZ_CHECK(ModelOf(DecodeText(saved, encoding, latin1), nameKey) == model);
  CheckReads(again, model, nameKey);
  FUZZ_CHECK(again.Save() == saved);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RoundTrip(bytes, AsciiNameKey);
  RoundTrip(bytes, CoarseKey);
  return 0;
}
