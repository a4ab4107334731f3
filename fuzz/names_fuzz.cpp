// The name rules: which names and extensions are allowed, what loading puts
// into the two fields, the OK rule and the Linux name limit; a valid name and
// extension written into a path load back as themselves.
#include "core/listfile.h"
#include "core/names.h"
#include "core/paths.h"
#include "fuzz.h"

#include <string>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

bool HasForbidden(const std::u16string& text) {
  return text.find_first_of(u"*/:<>?\\|") != std::u16string::npos;
}

bool OnlyOf(const std::u16string& text, char16_t c) {
  return !text.empty() && text.find_first_not_of(c) == std::u16string::npos;
}

void CheckFields(const std::u16string& path) {
  const auto fileName = FileNamePart(path);
  for (const auto kind : {ItemKind::Folder, ItemKind::Missing}) {
    const auto loaded = LoadedFieldsFor(kind, path);
    FUZZ_CHECK(loaded.name == fileName && loaded.ext.empty());
  }
  // A file's two fields put back together give its name again; only a
  // trailing period, which names an empty extension, is lost.
  const auto file = LoadedFieldsFor(ItemKind::File, path);
  if (file.ext.empty())
    FUZZ_CHECK(file.name == fileName || file.name + u"." == fileName);
  else
    FUZZ_CHECK(file.name + u"." + file.ext == fileName);
  FUZZ_CHECK(file.ext.find(u'.') == std::u16string::npos);
  // A file with a name never loads an empty name field (".gitignore" is all name).
  FUZZ_CHECK(fileName.empty() || !file.name.empty());
}

void CheckRules(const std::u16string& name, const std::u16string& ext) {
  const bool nameOk = !HasForbidden(name) && !OnlyOf(name, u' ') && !OnlyOf(name, u'\u3000');
  FUZZ_CHECK(IsValidName(name) == nameOk);
  FUZZ_CHECK(IsValidExt(ext) == !HasForbidden(ext));

  const auto digits = std::to_string(name.size());
  for (const auto kind : {ItemKind::File, ItemKind::Folder, ItemKind::Missing}) {
    const auto state = EvaluateFields(kind, name, ext);
    FUZZ_CHECK(state.decided == (kind != ItemKind::Missing));
    if (!state.decided) {
      FUZZ_CHECK(!state.okEnabled && !state.clearEnabled);
      continue;
    }
    const bool ok = !name.empty() && nameOk && (kind == ItemKind::Folder || !HasForbidden(ext));
    FUZZ_CHECK(state.okEnabled == ok);
    FUZZ_CHECK(state.clearEnabled == !name.empty());
    FUZZ_CHECK(state.nameHint == std::u16string(digits.begin(), digits.end()));
  }

  // What the user may confirm comes back from the path it makes.
  if (name.empty() || !nameOk || HasForbidden(ext) || ext.find(u'.') != std::u16string::npos)
    return;
  const std::u16string folder = u"C:\\Folder.d\\";
  if (!ext.empty()) {
    const auto back = LoadedFieldsFor(ItemKind::File, folder + name + u"." + ext);
    FUZZ_CHECK(back.name == name && back.ext == ext);
  } else if (name.find(u'.') == std::u16string::npos ||
             (name.front() == u'.' && name.rfind(u'.') == 0)) {
    const auto back = LoadedFieldsFor(ItemKind::File, folder + name);
    FUZZ_CHECK(back.name == name && back.ext.empty());
  }
  const auto asFolder = LoadedFieldsFor(ItemKind::Folder, folder + name);
  FUZZ_CHECK(asFolder.name == name && asFolder.ext.empty());
}

// The size counted is that of the name written in UTF-8 (where a lone
// surrogate becomes U+FFFD, three bytes as well), and the limit holds the
// name without the trailing periods and blanks that Win32 drops.
void CheckLinuxLimit(const std::u16string& name) {
  struct NoCodePage : CodePage {
    std::u16string Decode(std::string_view) const override { return {}; }
    std::string Encode(const std::u16string&) const override { return {}; }
  } ansi;
  FUZZ_CHECK(Utf8Size(name) + 3 == EncodeText(name, TextEncoding::Utf8, ansi).size());
  const auto kept = name.substr(0, name.find_last_not_of(u". ") + 1);
  FUZZ_CHECK(FitsLinuxFileName(name) == (Utf8Size(kept) <= 255));
  FUZZ_CHECK(FitsLinuxFileName(kept + u". . ") == FitsLinuxFileName(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const auto name = in.Text();
  const auto ext = in.Text();
  CheckFields(name);
  CheckFields(ext);
  CheckRules(name, ext);
  CheckLinuxLimit(name);
  return 0;
}
