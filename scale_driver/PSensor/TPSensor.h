// The driver object behind every export: it owns the scale link with its
// 44-command table and one record of each reply kind, turns the link's
// events into calls of the host's callbacks, and keeps the texts and values
// that the exports read afterwards.
//
// An export that reads data says which reply kind it expects (Mode), sends
// the command through the link, and reads what the status event stored, or
// lets the callbacks deliver it. SendExpecting does the first two steps and
// makes sure that the expectation does not outlive the read.
//
// Everything runs on the thread that created the object; the event handlers
// run inside the link's waits and pumps on that thread, and call the host
// synchronously.
#pragma once

#include "IPlatform.h"
#include "TAdjustData.h"
#include "TCallbackSlots.h"
#include "TECRStateInfo.h"
#include "THecrLink.h"
#include "TLead.h"
#include "TLinkProcessFlags.h"
#include "TOPBox.h"
#include "TPSensorOption.h"
#include "TReceiveData.h"
#include "TTemperatureExpiation.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pondrex {

class TPSensor {
public:
  // Makes a new shared codec (GlobalEncoding), the link with the 44 commands
  // and the records. The platform, the flags and the slots must outlive the
  // object.
  TPSensor(IPlatform &platform, TLinkProcessFlags &flags, TCallbackSlots &slots);
  // Frees the shared codec, the records and the link; the link stops a
  // serial port that is still open.
  ~TPSensor();
  TPSensor(const TPSensor &) = delete;
  TPSensor &operator=(const TPSensor &) = delete;

  // Handler of the link's OnStatus: decodes the reply by Mode, stores what
  // it carries and calls the host. Mode is poNull afterwards, whatever was
  // expected and whether or not the decoding succeeded. A measurement frame
  // that the scale sent by itself is decoded as a measurement whatever Mode
  // says, and leaves Mode as it was: it is not the reply that an export
  // waits for.
  void DoLinkStatus(TPelqoEventArgs &Args);
  // Handler of the link's OnError: hands the code to "SENSORERR".
  void DoLinkError(int32_t Code);
  // Handler of the link's OnIS1Event: stores the weight text and calls
  // "IS1INFO", "RKV_IS1INFO" and the Java IS1INFO.
  void DoIS1Event(const TIS1 &Frame);
  // Does nothing.
  void AutoUpdateProgramme() {}

  // Sends ACmd through the link with Mode set to kind, so that the status
  // event of the reply decodes it as that kind. Mode is poNull again when
  // the call returns, also when no reply came: the next status event (an
  // unsolicited measurement, say) is then not taken for the missing reply.
  bool SendExpecting(TPSensorOption kind, TccHecrCommand *ACmd, std::span<const uint8_t> wBuf,
                     int32_t PackageNo, int32_t BufferLength, const std::u16string &EcrID);
  // Sends ACmd without data through the link for a reply that is not to be
  // decoded: one packet of a multi-packet read, which the link only collects
  // into the event data's TmpBuffer. The status event of that reply calls
  // nothing and stores nothing (a measurement frame that the scale sends by
  // itself meanwhile is still decoded). Mode is poNull afterwards.
  bool SendUndecoded(TccHecrCommand *ACmd, int32_t PackageNo, const std::u16string &EcrID);

  // Properties that the exports read and write.
  const std::u16string &Is1Value() const { return FIs1Value; }
  void SetIs1Value(std::u16string value) { FIs1Value = std::move(value); }
  const std::u16string &OpValue() const { return FOpValue; }
  void SetOpValue(std::u16string value) { FOpValue = std::move(value); }
  const std::u16string &EcrIdCode() const { return FEcrIdCode; }
  void SetEcrIdCode(std::u16string value) { FEcrIdCode = std::move(value); }
  TPSensorOption Mode() const { return fMode; }
  void SetMode(TPSensorOption value) { fMode = value; }
  const std::u16string &TareValue() const { return FTare; }
  void SetTareValue(std::u16string value) { FTare = std::move(value); }
  bool Wf7flg() const { return FWf7flg; }
  void SetWf7flg(bool value) { FWf7flg = value; }
  int32_t AD() const { return FAD; }
  void SetAD(int32_t value) { FAD = value; }
  // The last A/D payload and the index of its last byte.
  const std::vector<uint8_t> &AdPayload() const { return buf; }
  int32_t AdPayloadLast() const { return bufPos; }

  THecrLink &HecrLink1() { return FHecrLink1; }
  TReceiveData &ReceiveData() { return ReceiveData1; }
  TAdjustData &AdjustData1() { return FAdjustData1; }
  TLead &Lead1() { return fLead1; }
  TOPBox &opbox1() { return fopbox1; }
  TTemperatureExpiation &Temperature() { return FTemperature; }
  TECRStateInfo &EcrStateInfo() { return ECRStateInfo; }

  IPlatform &Platform() { return platform_; }
  TLinkProcessFlags &Flags() { return flags_; }
  TCallbackSlots &Slots() { return slots_; }

private:
  void DecodeMeasurement(const std::vector<uint8_t> &payload);
  void DecodeReply(TPSensorOption kind, TPelqoEventArgs &Args);
  void CallSensorInfo(const TSensorInfoValues &values);

  IPlatform &platform_;
  TLinkProcessFlags &flags_;
  TCallbackSlots &slots_;

  std::u16string FIs1Value;
  std::u16string FOpValue;
  std::u16string FEcrIdCode;
  TReceiveData ReceiveData1;
  TAdjustData FAdjustData1;
  TTemperatureExpiation FTemperature;
  TLead fLead1;
  TOPBox fopbox1;
  TPSensorOption fMode = TPSensorOption::poNull;
  // A reply that is only collected is on its way (SendUndecoded).
  bool undecodedReply_ = false;
  std::u16string FTare;
  bool FWf7flg = false;
  std::vector<uint8_t> buf;
  int32_t bufPos = 0;
  int32_t FAD = 0;
  TECRStateInfo ECRStateInfo;
  // Last, so that it goes first: no event can reach the records after they
  // are gone.
  THecrLink FHecrLink1;
};

} // namespace pondrex
