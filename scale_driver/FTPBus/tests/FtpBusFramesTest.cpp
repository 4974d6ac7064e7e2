#include "FtpBusFrames.h"
#include "PriceScaleFake.h"

#include <gtest/gtest.h>

#include <numeric>

namespace pondrex::test {
namespace {

TEST(FtpBusFrames, DataFramesAndRequestsAddUpToZero) {
  EXPECT_EQ(BuildDataFrame(0x11, 0, 0, {}), (Bytes{0x11, 0x00, 0x00, 0x00, 0x00, 0xEF}));
  EXPECT_EQ(BuildDataFrame(0x77, 0xF9, 0, Bytes{0x00, 0x00, 0x04, 0xE2}),
            (Bytes{0x77, 0xF9, 0x00, 0x00, 0x04, 0x00, 0x00, 0x04, 0xE2, 0xA6}));
  EXPECT_EQ(BuildUploadRequest(0x55, 0xF9, 0x01F4, 4), (Bytes{0x55, 0xF9, 0x01, 0xF4, 0x04, 0xB9}));
  // Frames of every length, with payloads whose sums wrap many times.
  for (uint8_t length : {0, 1, 4, 59, 255}) {
    Bytes payload(length);
    std::iota(payload.begin(), payload.end(), uint8_t{0xF0});
    const Bytes frame = BuildDataFrame(0x77, 0xF9, 0xABCD, payload);
    ASSERT_EQ(frame.size(), size_t{length} + 6);
    EXPECT_EQ(std::accumulate(frame.begin(), frame.end(), 0) % 256, 0) << int(length);
    EXPECT_EQ(frame, PriceDataFrame(0x77, 0xF9, 0xABCD, payload));
  }
}

TEST(FtpBusFrames, UploadReplyNeedsItsWholeLengthAndItsCheck) {
  const Bytes request = BuildUploadRequest(0x55, 0xF9, 0x00E0, 4);
  const Bytes reply = PriceUploadReply(request, {0x00, 0x00, 0x04, 0xE2});
  EXPECT_TRUE(UploadReplyPasses(reply, 4));
  // The lead byte is not covered.
  Bytes otherLead = reply;
  otherLead[0] = 0x02;
  EXPECT_TRUE(UploadReplyPasses(otherLead, 4));
  Bytes broken = reply;
  broken[7] ^= 1;
  EXPECT_FALSE(UploadReplyPasses(broken, 4));
  EXPECT_FALSE(UploadReplyPasses(Bytes(reply.begin(), reply.end() - 1), 4));
}

} // namespace
} // namespace pondrex::test
