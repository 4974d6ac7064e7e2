// Shared pieces of the link's tests: a link on the fake platform whose
// events are recorded. The frames come from ScaleFrames.h.
#pragma once

#include "ScaleCommandTable.h"
#include "ScaleFrames.h"
#include "TFakeComm.h"
#include "TFakePlatform.h"
#include "THecrLink.h"
#include "TLinkProcessFlags.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pondrex::test {

// TestEcrId as the link takes it.
inline const std::u16string TestEcrIdText = u"123456";

// One thing the link reported, in order.
struct TLinkEvent {
  enum Kind { Status, Error, IS1 } What;
  int32_t Code = 0;    // Error: the code; IS1: the flag
  Bytes Data;          // Status: the Buffer
  std::u16string Text; // IS1: status|sign|Weight|AUnit
  bool operator==(const TLinkEvent &) const = default;
};
std::string Describe(const std::vector<TLinkEvent> &events);

// A link on the fake platform with the 44 commands, serial port COM3 at
// 9600 baud, and every event recorded.
class TLinkHarness {
public:
  TLinkHarness();
  TLinkHarness(const TLinkHarness &) = delete;
  TLinkHarness &operator=(const TLinkHarness &) = delete;

  // Opens the serial link; fails the test when it does not become active.
  void OpenSerial();
  TccHecrCommand *Cmd(int32_t id) { return link.GetHecrCommandFormID(id); }
  bool Send(int32_t id, const Bytes &data = {}, int32_t packet = 0) {
    return link.SendBuffer(Cmd(id), data, packet, static_cast<int32_t>(data.size()), TestEcrIdText);
  }
  // Hands bytes to the receive path as one chunk read now, as the serial
  // component does inside a pump.
  void Feed(const Bytes &bytes) {
    static_cast<TFakeComm &>(link.Comm()).DeliverNow(bytes.data(), static_cast<uint16_t>(bytes.size()));
  }
  // The scale answers every frame written with these bytes.
  void AnswerWith(const Bytes &answer, uint32_t delayMs = 5);
  std::vector<int32_t> Errors() const;
  size_t CountLog(const std::string &line) const;
  std::vector<std::string> LogLines() const;

  TFakePlatform platform;
  TLinkProcessFlags flags;
  THecrLink link{platform, flags};
  TFakeSerialLine &line = platform.Line(u"COM3");
  std::vector<TLinkEvent> events;
};

class LinkFixture : public ::testing::Test, public TLinkHarness {};

} // namespace pondrex::test
