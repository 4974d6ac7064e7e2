// A price bus on the fake platform with its port COM7 open and a
// price-computing scale on the far end.
#pragma once

#include "PriceScaleFake.h"
#include "TFTPBusComm.h"
#include "TFakePlatform.h"

#include <gtest/gtest.h>

namespace pondrex::test {

class FtpBusFixture : public ::testing::Test {
protected:
  static constexpr THostWindow HostWindow = 0x1234;

  FtpBusFixture() {
    bus.SetCommName(u"COM7");
    bus.SetBaudRate(9600);
    bus.hRecv = HostWindow;
    bus.EnableComm(true);
    line.ClearEvents();
  }

  // The texts that reached the host window, in order.
  std::vector<std::u16string> Reports() const {
    std::vector<std::u16string> texts;
    for (const TSentWindowText &sent : platform.WindowTexts()) {
      EXPECT_EQ(sent.Window, HostWindow);
      EXPECT_EQ(sent.Message, 1024u);
      texts.push_back(sent.Text);
    }
    return texts;
  }

  TFakePlatform platform{0xFFFFFF00u}; // the tick count wraps during the tests
  TFakeSerialLine &line = platform.Line(u"COM7");
  TPriceScaleFake scale{line};
  TFTPBusComm bus{platform};
};

} // namespace pondrex::test
