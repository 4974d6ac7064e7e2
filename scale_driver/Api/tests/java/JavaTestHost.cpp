// The Java entry points natively, for the tests in a real Java virtual
// machine: the driver object runs on the fake platform, whose serial port
// COM3 the Java test scripts through the native methods of its class
// FakeScale (the simulated scale's side of the line).
#include "JavaHost.h"
#include "JniText.h"
#include "LinkControl.h"
#include "PSensorGlobals.h"
#include "ScaleFrames.h"
#include "TFakePlatform.h"

#include <jni.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Never destroyed: the driver object, freed when the process ends, still
// needs it then.
pondrex::TFakePlatform &Platform() {
  static pondrex::TFakePlatform *const platform = std::make_unique<pondrex::TFakePlatform>().release();
  return *platform;
}

pondrex::TFakeSerialLine &Line() {
  return Platform().Line(u"COM3");
}

} // namespace

namespace pondrex::api {

TPSensor &JavaHostDriver() {
  return InitializePSensor(Platform());
}

IPlatform &JavaHostPlatform() {
  return Platform();
}

void JavaHostCallEnded() noexcept {}

} // namespace pondrex::api

namespace {

using Bytes = std::vector<uint8_t>;
namespace api = pondrex::api;
namespace test = pondrex::test;

std::string StringOf(JNIEnv *env, jstring text) {
  const api::TJavaStringBytes bytes(env, text);
  return bytes.get() != nullptr ? bytes.get() : "";
}

Bytes WeightFrame(jchar status, jchar sign, const std::string &weight6, const std::string &unit2, jint flag) {
  return test::Is1Frame(static_cast<char>(status), static_cast<char>(sign), weight6, unit2,
                        static_cast<uint8_t>(flag));
}

} // namespace

// The exported hook that only a host calls itself.
extern "C" JNIEXPORT void JNICALL JNI_OnUnLoad(JavaVM *vm, void *reserved);

extern "C" {

// Every weight request (a write ending in 0x11) is answered 5 ms later with
// the IS1 frame of these fields.
JNIEXPORT void JNICALL Java_FakeScale_answerWeightRequests(JNIEnv *env, jclass, jchar status, jchar sign,
                                                           jstring weight6, jstring unit2, jint flag) {
  const Bytes frame = WeightFrame(status, sign, StringOf(env, weight6), StringOf(env, unit2), flag);
  Line().SetResponder([frame](pondrex::TFakeSerialLine &line, const pondrex::TWrittenBlock &block) {
    if (!block.Bytes.empty() && block.Bytes.back() == 0x11)
      line.Send(frame, 5);
  });
}

JNIEXPORT void JNICALL Java_FakeScale_stayQuiet(JNIEnv *, jclass) {
  Line().SetResponder({});
}

// count IS1 frames at once, taken by the next pump.
JNIEXPORT void JNICALL Java_FakeScale_pushWeightFrames(JNIEnv *env, jclass, jint count, jchar status,
                                                       jchar sign, jstring weight6, jstring unit2,
                                                       jint flag) {
  const Bytes frame = WeightFrame(status, sign, StringOf(env, weight6), StringOf(env, unit2), flag);
  Bytes frames;
  for (jint i = 0; i < count; ++i)
    frames.insert(frames.end(), frame.begin(), frame.end());
  Line().Send(frames);
}

// A measurement frame that the scale sends by itself.
JNIEXPORT void JNICALL Java_FakeScale_pushMeasurement(JNIEnv *, jclass) {
  Line().Send(test::ScaleFrame(0x83000000, test::MeasurementPayload()));
}

// The blocks written to the port since the last call, in hex ("05 11|FD").
JNIEXPORT jstring JNICALL Java_FakeScale_takeWrites(JNIEnv *env, jclass) {
  std::u16string text;
  for (const Bytes &block : Line().Writes()) {
    if (!text.empty())
      text += u'|';
    for (size_t i = 0; i < block.size(); ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", block[i]);
      text.append(hex, hex + std::char_traits<char>::length(hex));
    }
  }
  Line().ClearEvents();
  return api::NewJavaString(env, text);
}

JNIEXPORT jboolean JNICALL Java_FakeScale_portOpen(JNIEnv *, jclass) {
  return Line().IsOpen() ? JNI_TRUE : JNI_FALSE;
}

// The link's transport (TCommunicationMode as a number).
JNIEXPORT jint JNICALL Java_FakeScale_linkMode(JNIEnv *, jclass) {
  return static_cast<jint>(api::JavaHostDriver().HecrLink1().Mode());
}

// Pumps once on a new thread that the virtual machine does not know.
JNIEXPORT void JNICALL Java_FakeScale_pumpOnNewThread(JNIEnv *, jclass) {
  std::thread pump([] { api::DoEvents(api::JavaHostPlatform()); });
  pump.join();
}

// Calls JNI_OnUnLoad as a host would.
JNIEXPORT void JNICALL Java_FakeScale_callOnUnLoad(JNIEnv *env, jclass) {
  JavaVM *vm = nullptr;
  if (env->GetJavaVM(&vm) == JNI_OK)
    JNI_OnUnLoad(vm, nullptr);
}

} // extern "C"
