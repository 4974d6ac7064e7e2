// The log text of an error: the fixed message, and the system's error code
// when a system call failed.
#include "ECommsError.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pondrex {
namespace {

TEST(ECommsError, KeepsTheFixedTextAndTheSystemErrorCode) {
  const ECommsError error("Error opening serial port", 2);
  EXPECT_STREQ(error.what(), "Error opening serial port");
  EXPECT_EQ(error.SystemError(), 2u);
  EXPECT_EQ(ECommsError("This serial port already opened").SystemError(), 0u);
}

TEST(ECommsError, DescribeErrorAddsANonZeroSystemErrorCode) {
  struct Case {
    std::string name;
    std::shared_ptr<std::exception> error;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"system error", std::make_shared<ECommsError>("Error opening serial port", 2),
       "Error opening serial port (system error 2)"},
      {"largest code", std::make_shared<ECommsError>("Cannot setup comm buffer", 0xFFFFFFFFu),
       "Cannot setup comm buffer (system error 4294967295)"},
      {"no system error", std::make_shared<ECommsError>("This serial port already opened"),
       "This serial port already opened"},
      {"other exception", std::make_shared<std::runtime_error>("The frame could not be queued"),
       "The frame could not be queued"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DescribeError(*c.error), c.text);
  }
}

} // namespace
} // namespace pondrex
