// The time query's refusals and the existence rules behind them, over a file
// system whose every answer comes from the input.
#include "core/paths.h"
#include "core/timequery.h"
#include "fuzz.h"

#include <optional>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

// Answers drawn from the input; it counts the questions so that the tests can
// tell a refusal made on the text alone from one that asked the disk.
class FuzzQueries : public FileQueries {
public:
  explicit FuzzQueries(Reader& in) {
    for (auto& a : answers_) {
      const std::uint8_t kind = in.Byte();
      a.ok = kind & 1;
      if (a.ok) {
        a.value = (kind & 2 ? kDirectory : 0) | (kind & 4 ? kReparsePoint : 0) | (kind & 8 ? 1 : 0);
      } else {
        static constexpr std::uint32_t kErrors[] = {kErrorFileNotFound, kErrorPathNotFound,
                                                    kErrorSharingViolation, kErrorInvalidName, 5};
        a.value = kErrors[(kind >> 1) % 5];
      }
    }
  }
  Result Attributes(const std::u16string&) const override { return Ask(0); }
  Result Open(const std::u16string&, bool) const override { return Ask(1); }
  Result Find(const std::u16string&) const override { return Ask(2); }
  mutable int asked = 0;

private:
  Result Ask(int which) const {
    ++asked;
    return answers_[which];
  }
  Result answers_[3] = {};
};

bool IsInvalidChar(char16_t c) {
  return c < 0x20 || std::u16string_view(u"\"<>|?*").find(c) != std::u16string_view::npos;
}

bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The refusal the text alone earns, checked in the order the query checks it.
std::optional<std::u16string> TextRefusal(const std::u16string& path, bool folder, bool longPaths) {
  if (path.empty())
    return u"パスが空です";
  const bool extended = path.starts_with(u"\\\\?\\");
  const std::u16string body = path.substr(extended ? 4 : 0);
  for (const char16_t c : body)
    if (IsInvalidChar(c))
      return u"パスに無効な文字が含まれています";
  // The one colon allowed is a drive letter's.
  const auto colon = body.find(u':', body.size() > 1 && IsAsciiLetter(body[0]) ? 2 : 0);
  if (colon != std::u16string::npos)
    return u"パスの形式がサポートされていません";
  if (!extended && !longPaths && path.size() >= (folder ? 248u : 260u))
    return u"指定されたパスが長すぎます";
  return std::nullopt;
}

void CheckRefusal(const FuzzQueries& fs, const std::u16string& path, bool folder, bool longPaths) {
  fs.asked = 0;
  const auto refusal = TimeQueryRefusal(fs, path, folder, longPaths);
  if (const auto early = TextRefusal(path, folder, longPaths)) {
    // A refusal on the text alone never asks the disk.
    FUZZ_CHECK(refusal == early && fs.asked == 0);
    return;
  }
  const bool found = FolderExistsWith(fs, folder ? path : FolderOf(path));
  if (!found)
    FUZZ_CHECK(refusal == u"指定されたパスが見つかりません");
  else if (!folder && !FileExistsWith(fs, path))
    FUZZ_CHECK(refusal == u"指定されたファイルが見つかりません ");
  else
    FUZZ_CHECK(!refusal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const FuzzQueries fs(in);
  const std::uint8_t flags = in.Byte();
  const auto path = in.Rest();

  // One set of answers is never both a file and a folder.
  FUZZ_CHECK(!(FileExistsWith(fs, path) && FolderExistsWith(fs, path)));
  // A plain entry's answer is final: nothing is opened or listed.
  fs.asked = 0;
  FolderExistsWith(fs, path);
  const auto attrs = fs.Attributes(path);
  if (!attrs.ok || (attrs.value & FileQueries::kReparsePoint) == 0)
    FUZZ_CHECK(fs.asked == 2);

  CheckRefusal(fs, path, flags & 1, flags & 2);
  return 0;
}
