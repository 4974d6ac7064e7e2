#include "TPSensor.h"

#include "NumberText.h"
#include "PSensorGlobals.h"
#include "ScaleCommandTable.h"
#include "ScopeExit.h"
#include "SystemCodePage.h"
#include "THecrprotocolCheck.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>

namespace pondrex {

namespace {

// Widths of the text replies.
constexpr int32_t EcrIdWidth = 14;
constexpr int32_t SensorNoWidth = 12;
constexpr int32_t ScaleNoWidth = 13;
// The wind level: the fourth data byte of the second packet.
constexpr int32_t WindLevelOffset = 35;
constexpr int32_t AdWidth = 6;

// A callback's text argument: the system code page form of the driver's
// text, alive for the duration of the call.
std::string SystemText(const std::u16string &text) {
  return TextToSystemBytes(text).value_or(std::string());
}

// A text field at the start of a reply, as much of it as arrived.
std::u16string ShortReplyText(const std::vector<uint8_t> &payload, int32_t width) {
  if (!GlobalEncoding)
    return std::u16string();
  const int32_t count = std::min(width, static_cast<int32_t>(payload.size()));
  int32_t position = 0;
  return VariantToText(GlobalEncoding->BufToData(dtASC, payload, position, count, 0));
}

template <size_t... I>
auto PointArguments(const std::array<TemperaturePoint, TTemperatureExpiation::PointCount> &points,
                    std::index_sequence<I...>) {
  return std::tuple_cat(std::make_tuple(points[I].Value1, points[I].Value2, points[I].Value3)...);
}

} // namespace

TPSensor::TPSensor(IPlatform &platform, TLinkProcessFlags &flags, TCallbackSlots &slots)
    : platform_(platform), flags_(flags), slots_(slots), FHecrLink1(platform, flags) {
  GlobalEncoding = std::make_unique<TPelqoencode>();
  FHecrLink1.OnStatus = [this](THecrLink &, TPelqoEventArgs &args) { DoLinkStatus(args); };
  FHecrLink1.OnError = [this](THecrLink &, int32_t code) { DoLinkError(code); };
  FHecrLink1.OnIS1Event = [this](THecrLink &, TIS1 &frame) { DoIS1Event(frame); };
  LoadScaleCommandTable(FHecrLink1);
  ECRStateInfo.SetErrorBox([this](const std::u16string &message) {
    platform_.ShowMessageBox(message, u"", TMessageBoxIcon::None);
  });
}

TPSensor::~TPSensor() {
  GlobalEncoding.reset();
  FHecrLink1.OnStatus = nullptr;
  FHecrLink1.OnError = nullptr;
  FHecrLink1.OnIS1Event = nullptr;
}

bool TPSensor::SendExpecting(TPSensorOption kind, TccHecrCommand *ACmd, std::span<const uint8_t> wBuf,
                             int32_t PackageNo, int32_t BufferLength, const std::u16string &EcrID) {
  fMode = kind;
  const TScopeExit disarm([this] { fMode = TPSensorOption::poNull; });
  return FHecrLink1.SendBuffer(ACmd, wBuf, PackageNo, BufferLength, EcrID);
}

bool TPSensor::SendUndecoded(TccHecrCommand *ACmd, int32_t PackageNo, const std::u16string &EcrID) {
  fMode = TPSensorOption::poNull;
  undecodedReply_ = true;
  const TScopeExit end([this] {
    undecodedReply_ = false;
    fMode = TPSensorOption::poNull;
  });
  return FHecrLink1.SendBuffer(ACmd, {}, PackageNo, 0, EcrID);
}

void TPSensor::DoLinkError(int32_t Code) {
  if (const TSensorErrProc proc = slots_.SensorErrProc)
    proc(Code);
}

void TPSensor::DoLinkStatus(TPelqoEventArgs &Args) {
  if (Args.htc1 != nullptr && Args.htc1->LinkStatus() == THecrLinkStatus::ifQty) {
    DecodeMeasurement(Args.Buffer);
    return;
  }
  // The expectation is used up before anything is called, so that a
  // callback that starts another read finds it free.
  const TPSensorOption kind = fMode;
  fMode = TPSensorOption::poNull;
  if (undecodedReply_)
    return;
  DecodeReply(kind, Args);
}

void TPSensor::DecodeReply(TPSensorOption kind, TPelqoEventArgs &Args) {
  const std::vector<uint8_t> &payload = Args.Buffer;
  switch (kind) {
  case TPSensorOption::poNull:
    DecodeMeasurement(payload);
    break;
  case TPSensorOption::poLead:
    if (const TLeadInfoProc proc = slots_.LeadInfoProc; proc && fLead1.Execute(payload)) {
      const std::string version = SystemText(fLead1.Ver());
      proc(version.c_str(), fLead1.Year(), fLead1.Month(), fLead1.DAY());
    }
    break;
  case TPSensorOption::poOPBox:
    if (const TOpBoxInfoProc proc = slots_.OpBoxInfoProc; proc && fopbox1.Execute(payload))
      proc(fopbox1.softflag(), fopbox1.hardware(), fopbox1.mainunit(), fopbox1.scaletype(),
           fopbox1.precision(), fopbox1.Gravity());
    break;
  case TPSensorOption::poTemperaturecompensate:
    if (const TTemCompensateInfoProc proc = slots_.TemCompensateInfoProc;
        proc && FTemperature.Execute(Args.TmpBuffer)) {
      const int32_t paraValue = Args.htc1 != nullptr ? Args.htc1->ParaValue() : 0;
      std::apply(proc, std::tuple_cat(
                           std::make_tuple(paraValue, FTemperature.TmFunFlag, FTemperature.LearnNum),
                           PointArguments(FTemperature.pot,
                                          std::make_index_sequence<TTemperatureExpiation::PointCount>())));
    }
    break;
  case TPSensorOption::poOpBoxCountryCode:
    if (const TOpBoxCountryCodeInfoProc proc = slots_.OpBoxCountryCodeInfoProc; proc && !payload.empty())
      proc(payload[0]);
    break;
  case TPSensorOption::poEcrID:
    FEcrIdCode = ShortReplyText(payload, EcrIdWidth);
    break;
  case TPSensorOption::poWDZState:
    ECRStateInfo.Execute(payload);
    break;
  case TPSensorOption::poSensorNo:
    FEcrIdCode = ShortReplyText(payload, SensorNoWidth);
    break;
  case TPSensorOption::poScaleNo:
    FEcrIdCode = ShortReplyText(payload, ScaleNoWidth);
    break;
  case TPSensorOption::poWind:
    if (GlobalEncoding && Args.TmpBuffer.size() > static_cast<size_t>(WindLevelOffset)) {
      int32_t position = WindLevelOffset;
      FEcrIdCode = VariantToText(GlobalEncoding->BufToData(dtBIN, Args.TmpBuffer, position, 1, 0));
    }
    break;
  case TPSensorOption::poGetAD: {
    buf = payload;
    bufPos = static_cast<int32_t>(buf.size()) - 1;
    if (!GlobalEncoding || buf.size() < static_cast<size_t>(AdWidth))
      break;
    int32_t position = 0;
    const auto value = RoundHalfEven(
        VariantToDouble(GlobalEncoding->BufToData(dtBIN, buf, position, AdWidth, 0)).value_or(0));
    // A value beyond 32 bits keeps the last one: no scale sends one.
    if (value && *value >= INT32_MIN && *value <= INT32_MAX)
      FAD = static_cast<int32_t>(*value);
    break;
  }
  }
}

void TPSensor::DecodeMeasurement(const std::vector<uint8_t> &payload) {
  if (!ReceiveData1.Execute(payload))
    return;
  TSensorInfoValues values;
  values.Net = ReceiveData1.NetWeight();
  values.Tare = ReceiveData1.Tare();
  values.Gross = ReceiveData1.Grossweight();
  values.Mode = ReceiveData1.Mode();
  values.DecimalDigit = ReceiveData1.DecimalDigit();
  values.Unit = ReceiveData1.AUnit();
  values.OldAd = ReceiveData1.OldAd();
  values.FilterAd = ReceiveData1.FilterAd();
  values.ZeroAd = ReceiveData1.ZeroAd();
  values.WeightAd = ReceiveData1.WeightAd();
  values.Flag = ReceiveData1.Flag();
  FOpValue = FloatToText(values.Net) + u"," + FloatToText(values.Tare) + u"," + FloatToText(values.Gross) +
             u"," + IntToText(values.Mode) + u"," + IntToText(values.DecimalDigit) + u"," +
             IntToText(values.Unit) + u"," + IntToText(values.Flag);
  FTare = FloatToText(values.Tare);
  CallSensorInfo(values);
}

void TPSensor::CallSensorInfo(const TSensorInfoValues &values) {
  if (const TSensorInfoProc proc = slots_.SensorInfoProc)
    proc(values.Net, values.Tare, values.Gross, values.Mode, values.DecimalDigit, values.Unit, values.OldAd,
         values.FilterAd, values.ZeroAd, values.WeightAd, static_cast<uint32_t>(values.Flag));
  if (TJavaCallbacks *java = slots_.Java)
    java->SensorInfo(values);
}

void TPSensor::DoIS1Event(const TIS1 &Frame) {
  // Everything is taken from the frame before the host is called: a callback
  // that pumps may let the link parse the next frame into the same record.
  const std::u16string status = Frame.status();
  const std::u16string sign = Frame.sign();
  const std::u16string weight = Frame.Weight();
  const std::u16string unit = Frame.AUnit();
  const int32_t flag = Frame.flag();
  const std::u16string tareWeight = Frame.TareWeight();
  const std::string status8 = SystemText(status);
  const std::string sign8 = SystemText(sign);
  const std::string weight8 = SystemText(weight);
  const std::string unit8 = SystemText(unit);
  const std::string price8 = SystemText(Frame.Price());
  const std::string total8 = SystemText(Frame.Total());
  const std::string key8 = SystemText(Frame.Keyvalue());
  const std::string weightSum8 = SystemText(FloatToText(Frame.weightsum()));
  const std::string tareSum8 = SystemText(FloatToText(Frame.TareWeight_RKV()));
  const std::string originalAd8 = SystemText(Frame.OriginalAD());
  const std::string weightAd8 = SystemText(Frame.WeightAD());
  const std::string tareAd8 = SystemText(Frame.TareAD());
  const int32_t number = Frame.Number();

  FIs1Value = status + u"," + sign + u"," + weight + u"," + unit + u"," + IntToText(flag);

  if (const TIs1InfoProc proc = slots_.Is1InfoProc)
    proc(status8.c_str(), sign8.c_str(), weight8.c_str(), unit8.c_str(), flag);
  if (const TRkvIs1InfoProc proc = slots_.RkvIs1InfoProc)
    proc(status8.c_str(), sign8.c_str(), weight8.c_str(), unit8.c_str(), price8.c_str(), total8.c_str(),
         key8.c_str(), weightSum8.c_str(), tareSum8.c_str(), originalAd8.c_str(), weightAd8.c_str(),
         tareAd8.c_str(), number, flag);
  if (!tareWeight.empty()) {
    FTare = tareWeight;
    FWf7flg = true;
  }
  if (TJavaCallbacks *java = slots_.Java)
    java->Is1Info(status, sign, weight, unit, flag);
}

} // namespace pondrex
