#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tavu {

enum class ItemKind { File, Folder, Missing };

// No forbidden character, and not made only of spaces or only of ideographic spaces.
bool IsValidName(const std::u16string& text);
// No forbidden character; code units of surrogate pairs are passed over.
bool IsValidExt(const std::u16string& text);

// The bytes the text takes in UTF-8; a lone surrogate counts 3, as it does
// in the forms that carry it.
std::size_t Utf8Size(std::u16string_view text);
// Whether a Linux file system, which holds names of at most 255 bytes of
// UTF-8, can hold the file name as Win32 leaves it (trailing periods and
// blanks dropped).
bool FitsLinuxFileName(const std::u16string& name);

struct LoadedFields {
  std::u16string name;
  std::u16string ext; // without the period
};
// What loading puts into the name and extension fields for an item of the
// given kind. A file whose only period is its first character (".gitignore")
// loads its whole file name as the name and an empty extension.
LoadedFields LoadedFieldsFor(ItemKind kind, const std::u16string& path);

// The OK rule for the texts of the two fields.
struct FieldState {
  bool decided; // false: the item is missing; OK is off, the rest unchanged
  bool okEnabled;
  bool clearEnabled;
  std::u16string nameHint; // the name's length in code units, in decimal
};
FieldState EvaluateFields(ItemKind kind, const std::u16string& name, const std::u16string& ext);

} // namespace tavu
