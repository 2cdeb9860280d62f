#include <gtest/gtest.h>

#include "recording/catalogue_lines.h"

TEST(StateNames, BaseNameIsThePackedTimeInBase32) {
  // 5 December 1998, 14:03:06
  uint32_t packed = ((18u << 9 | 12u << 5 | 5u) << 16) | (14u << 11 | 3u << 5 | 3u);
  EXPECT_EQ(StateNameOf(packed), "ASYK3DD");
  EXPECT_EQ(StateNameOf(0), "AAAAAAA");
  EXPECT_EQ(StateNameOf(0xFFFFFFFFu), "D666666");  // from 2044 on: still seven letters
}
