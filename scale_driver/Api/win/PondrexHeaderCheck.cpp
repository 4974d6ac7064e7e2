// Compile-time checks of the public header Pondrex.h against what the
// library does: every export is stdcall and takes the argument bytes of its
// Pondrex.def line (the linker already holds each definition to that line),
// every callback type takes the bytes that the driver pushes, and every
// buffer size is the one the exports write at most. Nothing here is linked
// into the library.
#include "Pondrex.h"

#include "AdReads.h"
#include "PolledWeights.h"
#include "ScaleReads.h"
#include "TCallbackSlots.h"
#include "TFTPBusComm.h"
#include "TextSelfTest.h"

#include <cstdint>

namespace {

template <typename T> constexpr uint32_t SlotBytes = (sizeof(T) + 3) / 4 * 4;

// Accepts stdcall functions only: any other convention does not convert.
template <typename Result, typename... Args>
constexpr uint32_t ArgumentBytes(Result(PONDREX_CALL *)(Args...)) {
  return (0u + ... + SlotBytes<Args>);
}

#define PONDREX_EXPORT_SIZE(name, bytes)                                                                     \
  static_assert(ArgumentBytes(static_cast<decltype(&name)>(nullptr)) == (bytes),                             \
                #name ": Pondrex.h declares another argument size than Pondrex.def exports");
#include "PondrexExportSizes.inc"
#undef PONDREX_EXPORT_SIZE

template <typename Proc> constexpr uint32_t CallbackBytes = ArgumentBytes(static_cast<Proc>(nullptr));

static_assert(CallbackBytes<TPondrexSensorErrProc> == pondrex::TSensorErrSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexSensorInfoProc> == pondrex::TSensorInfoSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexOpBoxInfoProc> == pondrex::TOpBoxInfoSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexLeadInfoProc> == pondrex::TLeadInfoSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexIs1InfoProc> == pondrex::TIs1InfoSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexRkvIs1InfoProc> == pondrex::TRkvIs1InfoSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexTemCompensateInfoProc> == pondrex::TTemCompensateInfoSignature::ArgBytes);
static_assert(CallbackBytes<TPondrexOpBoxCountryCodeInfoProc> ==
              pondrex::TOpBoxCountryCodeInfoSignature::ArgBytes);

namespace api = pondrex::api;
static_assert(PONDREX_WEIGHT_BUFFER_SIZE == api::WeightBufferRoom);
static_assert(PONDREX_TARE_BUFFER_SIZE == api::TareBufferRoom);
static_assert(PONDREX_SENSOR_NO_BUFFER_SIZE == api::SensorNoBufferRoom);
static_assert(PONDREX_SCALE_NO_BUFFER_SIZE == api::ScaleNoBufferRoom);
static_assert(PONDREX_WIND_LEVEL_BUFFER_SIZE == api::WindLevelBufferRoom);
static_assert(PONDREX_AD_BUFFER_SIZE == api::AdBufferRoom);
static_assert(PONDREX_WEIGHT_REPORT_MESSAGE == pondrex::TFTPBusComm::WeightReportMessage);
static_assert(PONDREX_UTF8EX_BUFFER_SIZE == decltype(pondrex::SelfTestWideBytes())().size());

} // namespace
