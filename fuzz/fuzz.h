// Shared by the fuzz targets: the invariant check and the reading of a fuzz
// input as the strings and numbers a target needs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/listfile.h"

namespace tavu::fuzz {

// An invariant that an input broke; the replay run reports it and goes on.
struct Broken : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Under libFuzzer a broken invariant must crash, so the input is kept as an
// artifact; the replay run in the test suite throws instead and names the file.
[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  const std::string what = std::string(file) + ":" + std::to_string(line) + ": " + condition;
#ifdef TAVU_FUZZ_REPLAY
  throw Broken(what);
#else
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
#endif
}

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition))                                                                              \
      ::tavu::fuzz::Fail(#condition, __FILE__, __LINE__);                                          \
  } while (0)

// Reads a fuzz input from the front. Text uses a dense alphabet: a byte
// below 0xF0 is that code unit, 0xF0..0xF7 the code units the rules care
// about beyond Latin-1, and 0xF8..0xFF take the next two bytes as any code
// unit (little-endian); so short inputs reach every rule quickly.
class Reader {
public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  // The next byte, or 0 past the end.
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // The next two bytes, little-endian; 0 past the end.
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }
  // Text up to the next 0x00 byte (which is consumed) or the end.
  std::u16string Text() { return Units(/*stopAtZero=*/true); }
  // All that is left as text; a 0x00 byte is U+0000.
  std::u16string Rest() { return Units(/*stopAtZero=*/false); }
  // All that is left, as bytes.
  std::string_view RestBytes() {
    const std::string_view rest(reinterpret_cast<const char*>(data_ + pos_),
                                pos_ < size_ ? size_ - pos_ : 0);
    pos_ = size_;
    return rest;
  }

private:
  std::u16string Units(bool stopAtZero) {
    static constexpr char16_t kSpecial[8] = {u'\u3000', 0xD83D,    0xDE00,    0xD800,
                                             0xDC00,    u'\uFFFD', u'\uFF21', u'\uFEFF'};
    std::u16string out;
    while (pos_ < size_) {
      const std::uint8_t b = data_[pos_++];
      if (b == 0 && stopAtZero)
        break;
      if (b < 0xF0)
        out.push_back(b);
      else if (b < 0xF8)
        out.push_back(kSpecial[b - 0xF0]);
      else
        out.push_back(Word());
    }
    return out;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Latin-1 as the ANSI code page: every byte is one character and back, so a
// file written in it reads back exactly. Characters beyond it become '?'.
class Latin1 : public CodePage {
public:
  std::u16string Decode(std::string_view bytes) const override {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char b : bytes)
      text.push_back(static_cast<unsigned char>(b));
    return text;
  }
  std::string Encode(const std::u16string& text) const override {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text)
      bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return bytes;
  }
};

inline bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace tavu::fuzz
