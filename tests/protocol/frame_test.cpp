#include <gtest/gtest.h>

#include "protocol/exchange.h"

TEST(CommandFrame, WrapsCommandWithLengthTrailerAndXor) {
  const char command[] = "$$%^5207";
  std::uint8_t frame[32] = {};
  std::size_t n = BuildCommandFrame(reinterpret_cast<const std::uint8_t*>(command), 8, frame,
                                    sizeof frame);
  const std::uint8_t expected[] = {0x7E, 0x01, 0x30, 0x30, 0x30, 0x30, 0x00, 0x08, 0x24, 0x24,
                                   0x25, 0x5E, 0x35, 0x32, 0x30, 0x37, 0x3B, 0x03, 0x7B};
  ASSERT_EQ(n, sizeof expected);
  EXPECT_EQ(0, memcmp(frame, expected, n));
}
