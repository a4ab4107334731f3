#include <gtest/gtest.h>

#include <cstdio>

#include "common/shellops.h"
#include "helper.h"

// -municode programs start at wmain; gtest_main only provides main.
int wmain(int argc, wchar_t** argv) {
  if (int helper = RunTestHelper(argc, argv); helper != -1)
    return helper;
  testing::InitGoogleTest(&argc, argv);
  // As the program does for its main thread: the shell's dialogs need it.
  const Pelvane::OleScope ole;
  // The test command checks that each pass ran the build it meant to.
  std::printf("Test program: %d-bit build\n", static_cast<int>(sizeof(void*) * 8));
  return RUN_ALL_TESTS();
}
