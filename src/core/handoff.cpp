#include "core/handoff.h"

#include <cstring>

namespace tavu {

// The hand-off payload: the argument followed by two U+0000.
std::u16string HandOffPayload(const std::u16string& argument) {
  std::u16string payload = argument;
  // The terminators travel inside the record, so the receiver never has to
  // look past the byte count it was given.
  payload.append(2, u'\0');
  return payload;
}

// Reads at most cbData / 2 code units of an untrusted payload, up to the first U+0000.
std::optional<std::u16string> ParseHandOff(const void* data, std::uint32_t cbData) {
  if (data == nullptr || cbData < 2)
    return std::nullopt;
  const auto* bytes = static_cast<const unsigned char*>(data);
  const std::size_t units = cbData / 2;
  std::u16string text;
  for (std::size_t i = 0; i < units; ++i) {
    // The sender's buffer carries no alignment promise, hence the copy.
    char16_t c;
    std::memcpy(&c, bytes + 2 * i, sizeof c);
    if (c == u'\0')
      break;
    text.push_back(c);
  }
  if (text.empty())
    return std::nullopt;
  return text;
}

} // namespace tavu
