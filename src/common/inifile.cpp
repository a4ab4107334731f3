#include "common/inifile.h"

#include "common/listfile.h"
#include "common/pelvane.h"

namespace Pelvane {

namespace {

tavu::IniFile Load(const std::u16string& path) {
  if (!IsExistingFile(path))
    return tavu::IniFile(AnsiCodePage(), IniNameKey);
  return tavu::IniFile(ReadWholeFile(path), AnsiCodePage(), IniNameKey);
}

} // namespace

std::string IniNameKey(const std::u16string& name) {
  // The locale gives no key for an empty name or when it fails; folding the
  // case ordinally keeps such names apart from each other, and the tag keeps
  // both kinds of key apart.
  std::string sortKey = PathSortKey(name);
  std::string key(1, sortKey.empty() ? 'F' : 'L');
  key += sortKey.empty() ? tavu::AsciiNameKey(FoldPathCase(name)) : sortKey;
  return key;
}

IniFile::IniFile(std::u16string path) : path_(std::move(path)), model_(Load(path_)) {}

int IniFile::ReadInteger(const std::u16string& section, const std::u16string& key,
                         int defaultValue) const {
  return model_.ReadInteger(section, key, defaultValue);
}

bool IniFile::ReadBool(const std::u16string& section, const std::u16string& key,
                       bool defaultValue) const {
  return model_.ReadBool(section, key, defaultValue);
}

void IniFile::WriteInteger(const std::u16string& section, const std::u16string& key, int value) {
  model_.WriteInteger(section, key, value);
}

void IniFile::WriteBool(const std::u16string& section, const std::u16string& key, bool value) {
  model_.WriteBool(section, key, value);
}

void IniFile::UpdateFile() {
  ReplaceFileBytes(path_, model_.Save());
}

} // namespace Pelvane
