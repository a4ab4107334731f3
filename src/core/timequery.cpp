#include "core/timequery.h"

#include <string_view>

namespace tavu {

namespace {

constexpr std::u16string_view kExtendedPrefix = u"\\\\?\\";

bool IsInvalidPathChar(char16_t c) {
  return c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|' || c == u'?' || c == u'*';
}

bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

std::optional<std::u16string> TimeQueryRefusal(const FileQueries& fs, const std::u16string& path,
                                               bool folder, bool longPaths) {
  if (path.empty())
    return u"パスが空です";
  const bool extended = std::u16string_view(path).starts_with(kExtendedPrefix);
  // The prefix's own question mark is no wildcard; the rest is checked as any path.
  const std::u16string_view body =
      std::u16string_view(path).substr(extended ? kExtendedPrefix.size() : 0);
  for (char16_t c : body)
    if (IsInvalidPathChar(c))
      return u"パスに無効な文字が含まれています";
  for (std::size_t i = 0; i < body.size(); ++i)
    if (body[i] == u':' && !(i == 1 && IsAsciiLetter(body[0])))
      return u"パスの形式がサポートされていません";
  const std::size_t limit = folder ? 248 : 260;
  if (!extended && !longPaths && path.size() >= limit)
    return u"指定されたパスが長すぎます";

  if (!FolderExistsWith(fs, folder ? path : FolderOf(path)))
    return u"指定されたパスが見つかりません";
  if (!folder && !FileExistsWith(fs, path))
    return u"指定されたファイルが見つかりません ";
  return std::nullopt;
}

} // namespace tavu
