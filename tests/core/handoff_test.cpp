#include "core/handoff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace tavu {
namespace {

// The first cb bytes of units, copied into a heap block of exactly cb bytes
// starting at an odd address, so any read past the record trips ASan and any
// aligned load is exercised against a misaligned source.
class Record {
public:
  Record(const std::u16string& units, std::size_t cb) : block_(new unsigned char[cb + 1]) {
    std::memcpy(block_.get() + 1, units.data(), std::min(cb, units.size() * 2));
    cb_ = static_cast<std::uint32_t>(cb);
  }
  const void* data() const { return block_.get() + 1; }
  std::uint32_t size() const { return cb_; }

private:
  std::unique_ptr<unsigned char[]> block_;
  std::uint32_t cb_ = 0;
};

TEST(HandOff, PayloadEndsWithTwoNuls) {
  for (const std::u16string arg : {u"", u"C:\\a", u"C:\\My Files\\\U0001F600.txt"}) {
    const auto payload = HandOffPayload(arg);
    ASSERT_EQ(payload.size(), arg.size() + 2);
    EXPECT_EQ(payload.substr(0, arg.size()), arg);
    EXPECT_EQ(payload.substr(arg.size()), std::u16string(2, u'\0'));
  }
}

TEST(HandOff, RoundTrip) {
  const std::u16string path = u"C:\\a";
  const auto payload = HandOffPayload(path);
  const Record record(payload, payload.size() * 2);
  EXPECT_EQ(record.size(), 12u);
  EXPECT_EQ(ParseHandOff(record.data(), record.size()), path);
}

TEST(HandOff, RejectsRecordsWithoutText) {
  const char16_t units[] = u"abc";
  EXPECT_EQ(ParseHandOff(nullptr, 8), std::nullopt);
  EXPECT_EQ(ParseHandOff(units, 0), std::nullopt);
  EXPECT_EQ(ParseHandOff(units, 1), std::nullopt);
  const Record empty(HandOffPayload(u""), 4);
  EXPECT_EQ(ParseHandOff(empty.data(), empty.size()), std::nullopt);
}

TEST(HandOff, ReadsOnlyWithinTheByteCount) {
  struct Row {
    std::u16string units;
    std::size_t cb;
    std::u16string text;
  };
  const Row rows[] = {
      {u"ab", 2, u"a"}, // byte count too small for the terminator
      {u"ab", 3, u"a"}, // an odd trailing byte is ignored
      {u"ab", 5, u"ab"},
      {u"abcd", 8, u"abcd"}, // no terminator within the record
      {std::u16string(u"ab\0d", 4), 8, u"ab"},
      {u"abcd", 4, u"ab"}, // terminator only beyond the record
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.units) + " in " + std::to_string(r.cb) + " bytes");
    const Record record(r.units + std::u16string(2, u'\0'), r.cb);
    EXPECT_EQ(ParseHandOff(record.data(), record.size()), r.text);
  }
  const std::u16string big(40000, u'x');
  const Record record(big, big.size() * 2);
  EXPECT_EQ(ParseHandOff(record.data(), record.size()), big);
}

} // namespace
} // namespace tavu
