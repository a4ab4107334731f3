// The hand-off record from another process: any bytes, in a buffer of exactly
// the record's size (so the address sanitizer sees a read past its end), at
// an even and at an odd address, with every size up to it; and the record a
// later launch builds, read back.
#include "core/handoff.h"
#include "fuzz.h"

#include <cstring>
#include <memory>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

// What a bounded reading must give: the code units before the first U+0000
// within cbData / 2 units, or nothing when there are none.
std::optional<std::u16string> Expected(const std::uint8_t* bytes, std::uint32_t cbData) {
  std::u16string text;
  for (std::uint32_t i = 0; i + 1 < cbData; i += 2) {
    const auto c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0)
      break;
    text.push_back(c);
  }
  if (text.empty())
    return std::nullopt;
  return text;
}

// Reads the record from a heap block that ends exactly where it does.
std::optional<std::u16string> ParseExact(const std::uint8_t* bytes, std::uint32_t cbData,
                                         std::size_t offset) {
  const auto block = std::make_unique<std::uint8_t[]>(offset + cbData);
  if (cbData > 0)
    std::memcpy(block.get() + offset, bytes, cbData);
  return ParseHandOff(block.get() + offset, cbData);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0x20000)
    return 0;
  const auto whole = static_cast<std::uint32_t>(size);
  FUZZ_CHECK(!ParseHandOff(nullptr, whole));
  FUZZ_CHECK(!ParseHandOff(nullptr, 0xFFFFFFFFu));
  for (const std::size_t offset : {0, 1}) {
    FUZZ_CHECK(ParseExact(data, whole, offset) == Expected(data, whole));
    // A record cut shorter than the bytes behind it reads only its own part.
    const std::uint32_t cut = size > 0 ? data[0] % (whole + 1) : 0;
    FUZZ_CHECK(ParseExact(data, cut, offset) == Expected(data, cut));
  }

  // A later launch's record for any argument reads back as that argument, up
  // to a U+0000 in it.
  Reader in(data, size);
  const std::u16string argument = in.Rest();
  const std::u16string payload = HandOffPayload(argument);
  FUZZ_CHECK(payload.size() == argument.size() + 2);
  FUZZ_CHECK(payload.compare(0, argument.size(), argument) == 0);
  FUZZ_CHECK(payload[argument.size()] == 0 && payload[argument.size() + 1] == 0);
  const auto read = ParseExact(reinterpret_cast<const std::uint8_t*>(payload.data()),
                               static_cast<std::uint32_t>(2 * payload.size()), 1);
  const auto text = argument.substr(0, argument.find(u'\0'));
  FUZZ_CHECK(read == (text.empty() ? std::nullopt : std::optional<std::u16string>(text)));
  return 0;
}
