// The command bytes of the price bus: the first byte (Dt) of each frame that
// the bus sends. TFTPBusComm::DownloadData picks the frame's shape by this
// byte; the price transfers send their sequences with these names.
#pragma once

#include <cstdint>

namespace pondrex::ftpbus {

// Wakes the scale's price bus; sent as the one byte alone.
inline constexpr uint8_t StartCommand = 0x44;
// Further commands that are sent as the one byte alone.
inline constexpr uint8_t OneByteCommand05 = 0x05;
inline constexpr uint8_t OneByteCommand12 = 0x12;
// The short command [01][FE].
inline constexpr uint8_t ShortCommand = 0x01;
inline constexpr uint8_t ShortCommandRam = 0xFE;
// Data frames: a transfer's opening and closing frames, a write of data to
// a RAM area, and a read request answered with data.
inline constexpr uint8_t OpenFrame = 0x11;
inline constexpr uint8_t CloseFrame = 0x33;
inline constexpr uint8_t WriteFrame = 0x77;
inline constexpr uint8_t ReadRequest = 0x55;

// True for the commands sent as the one byte alone.
constexpr bool IsOneByteCommand(uint8_t Dt) {
  return Dt == StartCommand || Dt == OneByteCommand05 || Dt == OneByteCommand12;
}

} // namespace pondrex::ftpbus
