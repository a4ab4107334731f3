#include "core/names.h"

#include "core/paths.h"

#include <string>

namespace tavu {

namespace {

// The characters no name may contain. The double quote is deliberately not
// among them.
bool IsForbidden(char16_t c) {
  switch (c) {
  case u'*':
  case u'/':
  case u':':
  case u'<':
  case u'>':
  case u'?':
  case u'\\':
  case u'|':
    return true;
  default:
    return false;
  }
}

bool IsSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

bool ConsistsOnlyOf(const std::u16string& text, char16_t c) {
  return text.find_first_not_of(c) == std::u16string::npos;
}

} // namespace

// The bytes the text takes in UTF-8.
std::size_t Utf8Size(std::u16string_view text) {
  std::size_t size = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      size += 1;
    } else if (c < 0x800) {
      size += 2;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      size += 4;
      ++i;
    } else {
      size += 3;
    }
  }
  return size;
}

// Whether a Linux file system can hold the file name as Win32 leaves it.
bool FitsLinuxFileName(const std::u16string& name) {
  constexpr std::size_t kLinuxNameMax = 255;
  std::u16string_view kept = name;
  while (!kept.empty() && (kept.back() == u'.' || kept.back() == u' '))
    kept.remove_suffix(1);
  return Utf8Size(kept) <= kLinuxNameMax;
}

// No forbidden character, and not made only of spaces or only of ideographic spaces.
bool IsValidName(const std::u16string& text) {
  for (const char16_t c : text) {
    if (IsForbidden(c))
      return false;
  }
  // An empty name is the caller's concern (it disables OK); here only names
  // that look blank are refused.
  if (text.empty())
    return true;
  return !ConsistsOnlyOf(text, u' ') && !ConsistsOnlyOf(text, u'\u3000');
}

// No forbidden character; code units of surrogate pairs are passed over.
bool IsValidExt(const std::u16string& text) {
  for (const char16_t c : text) {
    if (IsSurrogate(c))
      continue;
    if (IsForbidden(c))
      return false;
  }
  return true;
}

// What loading puts into the name and extension fields for an item of the given kind.
LoadedFields LoadedFieldsFor(ItemKind kind, const std::u16string& path) {
  auto fileName = FileNamePart(path);
  if (kind != ItemKind::File)
    return {std::move(fileName), std::u16string()};
  // A dot file is all name: splitting ".gitignore" would leave the name
  // field empty and OK disabled for a perfectly ordinary file.
  if (!fileName.empty() && fileName[0] == u'.' && LastCharPos(u".", fileName) == 1)
    return {std::move(fileName), std::u16string()};
  auto ext = ExtPart(path);
  if (!ext.empty())
    ext.erase(0, 1);
  return {NameWithoutExt(path), std::move(ext)};
}

// The OK rule for the texts of the two fields.
FieldState EvaluateFields(ItemKind kind, const std::u16string& name, const std::u16string& ext) {
  FieldState state{};
  if (kind == ItemKind::Missing)
    return state;
  state.decided = true;
  state.okEnabled = !name.empty() && IsValidName(name);
  // A folder has no extension field to speak of; whatever it holds is unused.
  if (kind == ItemKind::File)
    state.okEnabled = state.okEnabled && IsValidExt(ext);
  state.clearEnabled = !name.empty();
  const auto digits = std::to_string(name.size());
  state.nameHint.assign(digits.begin(), digits.end());
  return state;
}

} // namespace tavu
