// The Java side of the driver's callbacks: the methods IS1INFO and
// SENSORINFO of the Java object that a Java host registered. The driver
// object calls them right after the plain callbacks of the same event, on
// the thread that raised the event.
//
// An implementation must be sound on that thread:
// - it takes the JNI environment of the calling thread from the Java
//   virtual machine (GetEnv, and AttachCurrentThread for a thread the
//   machine does not know yet), never an environment kept from another
//   thread: an environment is valid only on its own thread;
// - the two methods return void, so they are called with CallVoidMethodA;
// - a method that is not bound (no method ID, or no object) is not called;
// - a Java exception that a method throws is cleared before returning, so
//   that the next JNI call on the thread is legal.
#pragma once

#include <cstdint>
#include <string>

namespace pondrex {

// The values of one decoded measurement, in the order of the callbacks.
struct TSensorInfoValues {
  double Net = 0;
  double Tare = 0;
  double Gross = 0;
  int32_t Mode = 0;
  int32_t DecimalDigit = 0;
  int32_t Unit = 0;
  int32_t OldAd = 0;
  int32_t FilterAd = 0;
  int32_t ZeroAd = 0;
  int32_t WeightAd = 0;
  uint8_t Flag = 0;
};

class TJavaCallbacks {
public:
  virtual ~TJavaCallbacks() = default;

  // IS1INFO(String status, String sign, String weight, String unit, int flag).
  virtual void Is1Info(const std::u16string &status, const std::u16string &sign, const std::u16string &weight,
                       const std::u16string &unit, int32_t flag) = 0;
  // SENSORINFO(double net, double tare, double gross, int mode, int decimals,
  // int unit, int oldAd, int filterAd, int zeroAd, int weightAd, int flag).
  virtual void SensorInfo(const TSensorInfoValues &values) = 0;
};

} // namespace pondrex
