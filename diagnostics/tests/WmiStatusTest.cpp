#include "WmiStatus.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(WmiStatus, SecurityAlreadySetLetsTheQueryGoOn) {
  EXPECT_TRUE(ComSecurityAllowsQuery(0));                                       // S_OK
  EXPECT_TRUE(ComSecurityAllowsQuery(1));                                       // S_FALSE
  EXPECT_TRUE(ComSecurityAllowsQuery(static_cast<std::int32_t>(0x80010119u)));  // RPC_E_TOO_LATE
  EXPECT_FALSE(ComSecurityAllowsQuery(static_cast<std::int32_t>(0x80070005u))); // E_ACCESSDENIED
  EXPECT_FALSE(ComSecurityAllowsQuery(static_cast<std::int32_t>(0x80010106u))); // RPC_E_CHANGED_MODE
}

TEST(WmiStatus, FailureLineCarriesTheCodeInSignedDecimal) {
  EXPECT_EQ(WmiFailureLine(ConnectFailed, static_cast<std::int32_t>(0x80041003u)),
            "Could not connect to WMI service. Error code = -2147217405\n");
  EXPECT_EQ(WmiFailureLine(QueryFailed, 5), "Query for video controllers failed. Error code = 5\n");
}

} // namespace
} // namespace tavrel
