// Bytes on the scale's line for the tests of every tree, modelled from the
// frame layouts independently of the driver's own code: the frames that the
// scale sends (command-protocol frames, IS1 weight frames, AD frames, the
// data of a measurement result) and the requests that the driver writes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace pondrex::test {

using Bytes = std::vector<uint8_t>;

// The ECR ID of the scale in the tests.
inline constexpr uint32_t TestEcrId = 123456;

// CRC-16/XMODEM (polynomial 0x1021, start 0) of the data.
uint16_t XmodemCrc(std::span<const uint8_t> data);
// Appends the low `bytes` bytes of value, high byte first.
void PutBigEndian(Bytes &out, uint32_t value, int bytes);
// The parts one after the other.
Bytes Join(std::initializer_list<Bytes> parts);

// A command-protocol frame: start byte, ECR ID, command, packet, data
// length, header sum; then the data and their CRC-16/XMODEM (high byte
// first) when there are data.
struct TFrameFields {
  uint8_t Start = 0xAB;
  uint32_t EcrId = 0;
  uint32_t Command = 0;
  uint8_t Packet = 0;
  Bytes Data;
  // The header of the temperature-table and wind-level reads: the ECR ID's
  // low 16 bits and two zero bytes, the command's high 16 bits, the packet
  // and a zero byte, then the packet as usual.
  bool ShortHeader = false;
  // Preceded by the frame's length in two bytes, as on a USB link.
  bool UsbPrefix = false;
};
Bytes BuildFrame(const TFrameFields &fields);
// A frame of the scale with ECR ID TestEcrId.
Bytes ScaleFrame(uint32_t command, Bytes data = {}, uint8_t packet = 0);

// The data of a measurement result: net 12.34, tare 1, gross 13.34, mode 1,
// 2 decimals, unit 0, and the flag (its first byte).
Bytes MeasurementPayload(uint8_t flag = 0);

// A plain IS1 weight frame: 01 02, status, sign, six weight characters, two
// unit characters, the XOR of those ten bytes, 03 04 and the flag.
Bytes Is1Frame(char status, char sign, const std::string &weight6, const std::string &unit2,
               uint8_t flag = 0);
// The extension of an IS1 frame.
struct TIs1Extension {
  uint8_t Decimals = 0x22; // price digit, total digit
  uint32_t Price = 0;
  uint32_t Total = 0;
  uint8_t Key = 255;
  uint16_t WeightAd = 0;
  char Check = 'C';
  uint8_t Flag = 0;
};
// The plain frame (flag 0) followed by 0x12, the extension's length and the
// extension.
Bytes ExtendedIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2,
                       const TIs1Extension &extension);
// 06 followed by the first 15 bytes of a plain IS1 frame.
Bytes ShortIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2);

// AD frames: 02 02 00, 'U' '8', three zero bytes, the version, the zero AD
// and the full AD, a zero byte; 'U' '9' with the tare AD and the zero AD.
Bytes AdU8Frame(const std::string &version3, uint16_t zeroAd, uint16_t fullAd);
Bytes AdU9Frame(uint16_t tareAd, uint16_t zeroAd);
// An AD request as the driver writes it: 44 11 00 00 00 00 EF 55, the kind,
// 00 00, the sub-code and the check byte.
Bytes AdRequestFrame(uint8_t kind, uint8_t subCode, uint8_t check);

} // namespace pondrex::test
