// Shared pieces of the link's tests: frames as the scale sends them, and a
// link on the fake platform whose events are recorded.
#pragma once

#include "ScaleCommandTable.h"
#include "TFakePlatform.h"
#include "THecrLink.h"
#include "TLinkProcessFlags.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pondrex::test {

using Bytes = std::vector<uint8_t>;

// The frame layout as the scale writes it, modelled independently of the
// link's own builder: start byte, ECR ID, command, packet, length, header
// sum, then the data and their CRC-16/XMODEM when there are data.
struct TFrameFields {
  uint8_t Start = 0xAB;
  uint32_t EcrId = 0;
  uint32_t Command = 0;
  uint8_t Packet = 0;
  Bytes Data;
};
Bytes BuildFrame(const TFrameFields &fields);
void PutBigEndian(Bytes &out, uint32_t value, int bytes);

constexpr uint32_t TestEcrId = 123456;
inline const std::u16string TestEcrIdText = u"123456";

// A command-protocol frame from the scale with ECR ID 123456.
Bytes ScaleFrame(uint32_t command, Bytes data = {}, uint8_t packet = 0);
// A plain IS1 weight frame: status, sign, six weight characters, two unit
// characters, the block check, 03 04 and the flag.
Bytes Is1Frame(char status, char sign, const std::string &weight6, const std::string &unit2, uint8_t flag);
// An extended IS1 frame: the plain frame (flag 0) with the extension.
struct TIs1Extension {
  uint8_t Decimals = 0x22; // price digit, total digit
  uint32_t Price = 0;
  uint32_t Total = 0;
  uint8_t Key = 255;
  uint16_t WeightAd = 0;
  char Check = 'C';
  uint8_t Flag = 0;
};
Bytes ExtendedIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2,
                       const TIs1Extension &extension);
// 06 followed by the first 15 bytes of a plain IS1 frame.
Bytes ShortIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2);
// AD frames: 'U' '8' with version, zero AD and full AD; 'U' '9' with tare and
// zero AD.
Bytes AdU8Frame(const std::string &version3, uint16_t zeroAd, uint16_t fullAd);
Bytes AdU9Frame(uint16_t tareAd, uint16_t zeroAd);

Bytes Join(std::initializer_list<Bytes> parts);

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
  // Hands bytes to the receive path as one chunk, as the serial component
  // does inside a pump.
  void Feed(const Bytes &bytes) {
    link.CommReceiveData(link.Comm(), bytes.data(), static_cast<uint16_t>(bytes.size()));
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
