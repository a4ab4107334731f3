// Replays every committed corpus input through its fuzz target: each input
// that ever crashed a target or broke one of its invariants stays a test.
#include "fuzz.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#define TAVU_FUZZ_TARGET(name) extern "C" int TavuFuzz_##name(const std::uint8_t*, std::size_t);
#include "fuzz_targets.inc"
#undef TAVU_FUZZ_TARGET

namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  int (*run)(const std::uint8_t*, std::size_t);
};

const Target kTargets[] = {
#define TAVU_FUZZ_TARGET(name) {#name, TavuFuzz_##name},
#include "fuzz_targets.inc"
#undef TAVU_FUZZ_TARGET
};

void PrintTo(const Target& target, std::ostream* out) {
  *out << target.name;
}

const fs::path kCorpus = TAVU_FUZZ_CORPUS;

class Replay : public testing::TestWithParam<Target> {};

TEST_P(Replay, EveryCorpusInputKeepsTheInvariants) {
  const fs::path folder = kCorpus / GetParam().name;
  ASSERT_TRUE(fs::is_directory(folder)) << "no corpus folder " << folder;
  std::size_t inputs = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file())
      continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_FALSE(file.bad()) << entry.path();
    // A block of exactly the input's size, as libFuzzer hands it over, so
    // that the address sanitizer sees any read past its end.
    const auto block = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    try {
      GetParam().run(block.get(), bytes.size());
    } catch (const tavu::fuzz::Broken& broken) {
      ADD_FAILURE() << entry.path().string() << ": invariant broken at " << broken.what();
    }
    ++inputs;
  }
  EXPECT_GT(inputs, 0u) << "the corpus " << folder << " is empty";
  std::printf("[ replayed ] %s: %zu inputs\n", GetParam().name, inputs);
}

INSTANTIATE_TEST_SUITE_P(Corpus, Replay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

// A corpus folder without a target would never be replayed.
TEST(Corpus, EveryFolderHasItsTarget) {
  std::set<std::string> targets;
  for (const auto& target : kTargets)
    targets.insert(target.name);
  for (const auto& entry : fs::directory_iterator(kCorpus))
    EXPECT_TRUE(targets.count(entry.path().filename().string()))
        << entry.path() << " belongs to no fuzz target";
}

} // namespace
