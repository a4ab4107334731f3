#pragma once
#include <string>

#include "core/inifile.h"

// The program's settings files on disk: read when opened, written back in
// one step by UpdateFile.
namespace Pelvane {

// The name key of the settings files: section and key names match without
// regard to letter case, by the user's locale.
std::string IniNameKey(const std::u16string& name);

class IniFile {
public:
  // Reads the file when it exists (a missing one reads as empty). Throws the
  // "cannot be opened" error when it exists but cannot be read.
  explicit IniFile(std::u16string path);

  // The key's integer value, or the default when it is missing or does not convert.
  int ReadInteger(const std::u16string& section, const std::u16string& key, int defaultValue) const;
  // The key's value as a flag, or the default when it is missing or does not convert.
  bool ReadBool(const std::u16string& section, const std::u16string& key, bool defaultValue) const;
  // Sets the key in memory; nothing reaches the disk before UpdateFile.
  void WriteInteger(const std::u16string& section, const std::u16string& key, int value);
  void WriteBool(const std::u16string& section, const std::u16string& key, bool value);

  // Replaces the file with the content in memory, in the encoding it was
  // read in. Throws the "cannot be created" error when it cannot be written.
  void UpdateFile();

  const std::u16string& Path() const { return path_; }

private:
  std::u16string path_;
  tavu::IniFile model_;
};

} // namespace Pelvane
