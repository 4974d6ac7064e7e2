// A driver object on the fake platform with the scale on COM3, for the
// tests of the exports' portable work.
#pragma once

#include "ScaleFrames.h"
#include "TFakePlatform.h"
#include "TPSensor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pondrex::test {

using Bytes = std::vector<uint8_t>;

class ApiFixture : public ::testing::Test {
protected:
  THecrLink &link() { return sensor.HecrLink1(); }

  TFakePlatform platform{0xFFFFFF00u}; // the tick count wraps during the tests
  TFakeSerialLine &line = platform.Line(u"COM3");
  TLinkProcessFlags flags;
  TCallbackSlots slots;
  TPSensor sensor{platform, flags, slots};
};

} // namespace pondrex::test
