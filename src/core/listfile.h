#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavu {

// Text files of the program (log, word list, settings): bytes in, lines out and back.

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The system's ANSI code page, injected so the core stays portable.
class CodePage {
public:
  virtual ~CodePage() = default;
  // The bytes read in the code page.
  virtual std::u16string Decode(std::string_view bytes) const = 0;
  // The text in the code page; what it cannot hold becomes its default character.
  virtual std::string Encode(const std::u16string& text) const = 0;
};

// The encoding a leading byte-order mark names (UTF-8, then UTF-16 LE, then BE); Ansi without one.
TextEncoding DetectEncoding(std::string_view bytes);
// The text of a whole file's bytes in the encoding; a leading mark of that encoding is skipped.
std::u16string DecodeText(std::string_view bytes, TextEncoding encoding, const CodePage& ansi);
// The file's bytes for the text: ANSI without a mark, UTF-8 and UTF-16 with theirs.
std::string EncodeText(const std::u16string& text, TextEncoding encoding, const CodePage& ansi);

// UTF-8 without a byte-order mark, both ways: each ill-formed sequence reads
// as one U+FFFD, and a lone surrogate is written as U+FFFD.
std::u16string DecodeUtf8(std::string_view bytes);
std::string EncodeUtf8(const std::u16string& text);

// The lines of a text: CR LF, a lone CR and a lone LF each end one; a break at the end adds none.
std::vector<std::u16string> SplitLines(std::u16string_view text);
// Every line followed by CR LF, the last one included.
std::u16string JoinLinesCrLf(const std::vector<std::u16string>& lines);

// Puts the item first and keeps at most limit items, newest first.
template <class T> void InsertNewest(std::vector<T>& items, T item, std::size_t limit) {
  // Trimming first keeps a long list from being shifted only to lose its tail.
  if (limit == 0) {
    items.clear();
    return;
  }
  if (items.size() >= limit)
    items.resize(limit - 1);
  items.insert(items.begin(), std::move(item));
}

// Puts the line at the top of the log's lines and keeps at most limit of them.
void InsertLogLine(std::vector<std::u16string>& lines, std::u16string line,
                   std::size_t limit = 100);

// The error text of a list file that exists but cannot be opened for reading.
std::u16string CannotOpenText(const std::u16string& path, const std::u16string& systemMessage);
// The error text of a list file that cannot be created for writing.
std::u16string CannotCreateText(const std::u16string& path, const std::u16string& systemMessage);

} // namespace tavu
