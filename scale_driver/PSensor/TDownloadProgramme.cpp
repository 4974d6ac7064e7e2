#include "TDownloadProgramme.h"

#include "ScopeExit.h"
#include "SystemCodePage.h"
#include "TBaudRate.h"

#include <optional>

namespace pondrex {

namespace {
constexpr int32_t FrontEndRetryCount = 5;
constexpr int32_t FrontEndRetryInterval = 1500;
} // namespace

TDownloadProgramme::TDownloadProgramme(IPlatform &platform, const TLinkProcessFlags &flags,
                                       TCallbackSlots &slots, std::filesystem::path debugLogFile,
                                       TLocalClock clock)
    : slots_(slots), UProgramme1_(platform, flags, std::move(debugLogFile), std::move(clock)) {
  UProgramme1_.Onstatusevent = [this](TUProgramme &sender, TUProgrammeEventAge &age) {
    DoDownloadProgress(sender, age);
  };
}

std::u16string TDownloadProgramme::TemporaryFileFor(const std::u16string &fileName) {
  const size_t last = fileName.find_last_of(u"\\/:");
  const std::u16string folder =
      last == std::u16string::npos ? std::u16string() : fileName.substr(0, last + 1);
  return folder + TemporaryName;
}

namespace {

bool SameFile(const std::u16string &a, const std::u16string &b) {
  std::error_code error;
  return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), error);
}

} // namespace

void TDownloadProgramme::Execute(const std::u16string &fileName, const std::u16string &portName,
                                 int32_t baudRate, TCommunicationMode linkMode) {
  std::u16string toSend = fileName;
  {
    // The parts of the split go when the front end is done with them,
    // whatever the outcome: an image of many megabytes is held twice over.
    const TScopeExit freeParts([this] { Prgfile_.FreeParts(); });
    Prgfile_.SetFileName(fileName);
    if (Prgfile_.Execute() == TProgramd438::BothCheck && !Prgfile_.Streamprogramme().empty()) {
      toSend = TemporaryFileFor(fileName);
      if (SameFile(toSend, fileName))
        UProgramme1_.SetImage(Prgfile_.Streamprogramme());
      else
        Prgfile_.SavePrgfile(toSend);
    }
  }
  UProgramme1_.SetComMode(linkMode == TCommunicationMode::cmUSBPRN ? TCommunicationMode::cmUSBPRN
                                                                   : TCommunicationMode::cmCOM);
  UProgramme1_.SetCommName(portName);
  if (const std::optional<TBaudRate> rate = IBusBaudRateOf(baudRate))
    UProgramme1_.SetBaudRate(*rate);
  UProgramme1_.SetRetrycount(FrontEndRetryCount);
  UProgramme1_.SetRetryInterval(FrontEndRetryInterval);
  UProgramme1_.SetFileName(toSend);
  UProgramme1_.Open();
  try {
    UProgramme1_.Execute();
  } catch (...) {
    UProgramme1_.Close();
    throw;
  }
  UProgramme1_.Close();
}

void TDownloadProgramme::DoDownloadProgress(TUProgramme &, TUProgrammeEventAge &Age) {
  const TDownloadProgressProc proc = slots_.DownloadProgressProc;
  if (proc == nullptr)
    return;
  const std::string text = TextToSystemBytes(Age.Message()).value_or(std::string());
  proc(Age.CurNo(), Age.TotalNo(), Age.Status(), text.c_str());
}

} // namespace pondrex
