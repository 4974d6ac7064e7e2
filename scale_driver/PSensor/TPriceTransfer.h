// The price and PLU transfers with a price-computing scale over the price
// bus: the sequences, the RAM addresses and the layout of the PLU slots.
//
// The scale is the one on the weighing link: a transfer borrows the link's
// serial port. It closes the link, runs the bus at 9600 baud on the link's
// port name (44, then 11 00 00 00 00 EF), does its work, ends with
// 33 00 00 00 00 CD, closes the bus and opens the link again. When the scale
// does not acknowledge a frame after the bus's retries, the bus is closed
// and the link stays closed (the host reopens it); when anything else goes
// wrong once the link was closed (the port cannot be opened, the file cannot
// be written), the bus is closed and the link opened again.
//
// Bad arguments (a price or a PLU file that the scale cannot take, a PLU
// file that cannot be replaced) fail at once: the link, the port and the
// scale are left alone.
//
// Everything runs on the calling thread, any thread: enabling the bus makes
// its serial component and timer there, and the waits pump its messages, so
// weight reports reach the host window during a transfer. The link is
// closed and opened again from that thread. One transfer at a time: the
// caller sees to that.
#pragma once

#include "IPlatform.h"
#include "PluFile.h"
#include "TFTPBusComm.h"
#include "THecrLink.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pondrex {

class TPriceTransfer {
public:
  // The bus runs at this rate for a transfer.
  static constexpr uint32_t BaudRate = 9600;
  // The price goes to this RAM area, the PLU slots too.
  static constexpr uint8_t PriceRam = 0xF9;
  // The first PLU slot's address; each slot holds a unit code and a 3-byte
  // price.
  static constexpr uint16_t FirstSlotAddress = 0x00E0;
  static constexpr uint8_t SlotBytes = 4;
  static constexpr uint8_t SlotPriceBytes = 3;
  // The price field at address 0.
  static constexpr uint8_t PriceBytes = 4;
  // The pause after the bus's port is opened, and before each slot read.
  static constexpr uint32_t OpenSettleMs = 100;
  static constexpr uint32_t SlotReadPauseMs = 45;

  // The link whose port the transfer borrows and the bus that carries it;
  // both, and the platform, outlive the object.
  TPriceTransfer(THecrLink &link, TFTPBusComm &bus, IPlatform &platform);

  // The price in hundredths (rounded half to even) as 4 bytes to RAM area
  // F9, address 0. False at once for a price that is not a number or whose
  // hundredths, once rounded, are below 0 or above 4294967295 (so -0.004
  // sends 0).
  bool SendPrice(double price);
  // The slots of the file, then empty slots up to PluSlotCount, each as unit
  // code and 3-byte price to F9:00E0 + 4 * (slot - 1). False at once when
  // the file cannot be read or holds a line that is no PLU, or more lines
  // than slots.
  bool DownLoadPlu(const std::filesystem::path &file);
  // Reads the PluSlotCount slots (45 ms apart) and, once the whole transfer
  // succeeded, its closing frame included, puts the table in the file's
  // place. The file is taken by its absolute path when the call starts; it
  // is left as it was when the table could not be read or written. False at
  // once, nothing sent, when the file cannot be replaced
  // (TPluFileReplacement).
  bool UpLoadPlu(const std::filesystem::path &file);

private:
  // The address of the slot with this index (0 for the first).
  static uint16_t SlotAddress(size_t index);
  // The opening sequence, body and closing sequence of a transfer. body
  // returns false when the scale did not acknowledge, and throws for any
  // other failure.
  template <typename Body> bool Run(Body body);
  // The port goes back to the link: the bus is closed on the link's port at
  // its own rate, and the link opened with its own settings.
  void HandPortBack();

  THecrLink &link_;
  TFTPBusComm &bus_;
  IPlatform &platform_;
};

} // namespace pondrex
