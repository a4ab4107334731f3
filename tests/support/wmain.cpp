#include <gtest/gtest.h>

#include "helper.h"

// -municode programs start at wmain; gtest_main only provides main.
int wmain(int argc, wchar_t** argv) {
  if (int helper = RunTestHelper(argc, argv); helper != -1)
    return helper;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
