// The firmware download front end: splits the host's image, picks the file
// to send, sets the download driver up for the port and rate, runs it, and
// passes its reports to the host's progress callback.
//
// When both parts of the image check and the program part holds bytes,
// only the program part is sent: it is written beside the image as
// "Prgfile.^tmp" (and left there). An image that is itself that file is
// never written over: its program part is sent from memory. Any other image
// is sent as it is, so a "Prgfile.^tmp" that this call did not write is
// never sent. The parts are freed when the call ends.
#pragma once

#include "IPlatform.h"
#include "LocalClock.h"
#include "TCallbackSlots.h"
#include "TCommunicationMode.h"
#include "TLinkProcessFlags.h"
#include "TProgramd438.h"
#include "TUProgramme.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace pondrex {

class TDownloadProgramme {
public:
  static constexpr const char16_t *TemporaryName = u"Prgfile.^tmp";

  // debugLogFile: where the firmware bus writes its debug log. The platform,
  // the flags and the slots must outlive the object.
  TDownloadProgramme(IPlatform &platform, const TLinkProcessFlags &flags, TCallbackSlots &slots,
                     std::filesystem::path debugLogFile, TLocalClock clock = LocalNow);
  TDownloadProgramme(const TDownloadProgramme &) = delete;
  TDownloadProgramme &operator=(const TDownloadProgramme &) = delete;

  // Downloads the image fileName through the port portName at baudRate
  // (9600, 19200, 38400, 57600 or 115200; any other value keeps the rate of
  // the previous call). linkMode is the scale link's mode: cmUSBPRN
  // downloads through a USB printer-class port, anything else through a
  // serial port. Raises when the image cannot be read or a part reaches
  // beyond it, or the temporary file cannot be written; the port is closed
  // again. Each call may come from another thread: the driver's bus is made
  // on the calling thread for the call and freed before it returns.
  void Execute(const std::u16string &fileName, const std::u16string &portName, int32_t baudRate,
               TCommunicationMode linkMode);

  // The driver's event handler: hands the report to the progress callback,
  // its text in the system code page, valid during the call.
  void DoDownloadProgress(TUProgramme &Sender, TUProgrammeEventAge &Age);

  // The folder part of fileName (up to its last path separator or drive
  // colon) followed by "Prgfile.^tmp".
  static std::u16string TemporaryFileFor(const std::u16string &fileName);

  TProgramd438 &Prgfile() { return Prgfile_; }
  TUProgramme &UProgramme1() { return UProgramme1_; }

private:
  TCallbackSlots &slots_;
  // Freed in the reverse order: the splitter, then the driver.
  TUProgramme UProgramme1_;
  TProgramd438 Prgfile_;
};

} // namespace pondrex
