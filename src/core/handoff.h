#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tavu {

// The hand-off payload for an argument of L code units: the argument, then two
// U+0000 (L + 2 units; the record's byte size is twice that).
std::u16string HandOffPayload(const std::u16string& argument);

// Reads a hand-off payload from another process without trusting it: at most
// cbData / 2 code units, up to the first U+0000. Nothing when the record
// holds no text (null data, fewer than two bytes, or an empty string).
std::optional<std::u16string> ParseHandOff(const void* data, std::uint32_t cbData);

} // namespace tavu
