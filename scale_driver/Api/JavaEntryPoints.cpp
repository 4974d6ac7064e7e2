// The entry points of the library for a Java host: JNI_OnLoad, JNI_OnUnLoad
// and the native methods of the Java class Pondrex.DLL, each a thin bridge to
// the work of an export for plain callers. Every entry point is stdcall on
// 32-bit Windows (JNICALL); Pondrex.def names them undecorated.
//
// A native method works with the environment that comes with its call,
// which is that of the calling thread; the Java callbacks take their own
// (TJniCallbacks). No C++ exception and no Java exception leaves the
// library: a failure is the method's plain result.
#include "CommandSend.h"
#include "JavaHost.h"
#include "JniText.h"
#include "LinkControl.h"
#include "OpenScale.h"
#include "PSensorGlobals.h"
#include "PolledWeights.h"
#include "TJniCallbacks.h"
#include "UpperAscii.h"

#include <jni.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using pondrex::TPSensor;
namespace api = pondrex::api;

namespace {

// Runs body with the driver object and ends the call; an error that escapes
// the body gives onFailure.
template <typename Result, typename Body> Result RunJavaCall(Result onFailure, Body &&body) noexcept {
  Result result = onFailure;
  try {
    result = body(api::JavaHostDriver());
  } catch (...) {
  }
  api::JavaHostCallEnded();
  return result;
}

jboolean AsJavaBoolean(bool value) {
  return value ? JNI_TRUE : JNI_FALSE;
}

// The methods that take one String: the export gets its bytes unchanged. A
// null string, or one whose bytes cannot be had, is a failure, and the
// export is not called.
template <typename Work> jboolean WithStringBytes(JNIEnv *env, jstring text, Work work) noexcept {
  const api::TJavaStringBytes bytes(env, text);
  if (bytes.get() == nullptr)
    return JNI_FALSE;
  return AsJavaBoolean(RunJavaCall(0, [&](TPSensor &sensor) { return work(sensor, bytes.get()); }) != 0);
}

std::optional<api::TJavaCallback> JavaCallbackNamed(const char *name) {
  const std::string upper = pondrex::UpperAscii(std::string_view(name));
  if (upper == api::Is1InfoMethodName)
    return api::TJavaCallback::Is1Info;
  if (upper == api::SensorInfoMethodName)
    return api::TJavaCallback::SensorInfo;
  return std::nullopt;
}

} // namespace

extern "C" {

JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *vm, void *) {
  api::JavaCallbacks.SetVirtualMachine(vm);
  return JNI_VERSION_1_4;
}

// Not the unload hook of the virtual machine (that one ends in a lower-case
// l): only a host that calls it itself runs it.
JNIEXPORT void JNICALL JNI_OnUnLoad(JavaVM *, void *) {
  pondrex::CallbackSlots.Java = nullptr;
  api::JavaCallbacks.Unbind();
}

JNIEXPORT jboolean JNICALL Java_Pondrex_DLL_Open(JNIEnv *env, jobject, jstring port, jint rate) {
  return WithStringBytes(env, port, [rate](TPSensor &sensor, const char *bytes) {
    return api::OpenWithDoubleRequest(sensor, bytes, rate);
  });
}

JNIEXPORT jboolean JNICALL Java_Pondrex_DLL_Close(JNIEnv *, jobject) {
  RunJavaCall(0, [](TPSensor &sensor) { return api::CloseDevice(sensor.HecrLink1()); });
  return JNI_TRUE;
}

// The weight text, handed out once; null when none came.
JNIEXPORT jstring JNICALL Java_Pondrex_DLL_GetWeight(JNIEnv *env, jobject) {
  const std::optional<std::u16string> text = RunJavaCall(
      std::optional<std::u16string>(), [](TPSensor &sensor) { return api::TakeWeightText(sensor); });
  return text ? api::NewJavaString(env, *text) : nullptr;
}

// The ECR ID is not sent: the scale is zeroed by the single byte 0xFD.
JNIEXPORT jboolean JNICALL Java_Pondrex_DLL_Zero(JNIEnv *env, jobject, jstring ecrId) {
  return WithStringBytes(env, ecrId, [](TPSensor &sensor, const char *) {
    return api::RawZeroOrTare(sensor, api::RawZeroByte);
  });
}

// Tared by the single byte 0xFE.
JNIEXPORT jboolean JNICALL Java_Pondrex_DLL_Tare(JNIEnv *env, jobject, jstring ecrId) {
  return WithStringBytes(env, ecrId, [](TPSensor &sensor, const char *) {
    return api::RawZeroOrTare(sensor, api::RawTareByte);
  });
}

// The link's transport := the low byte of mode; nothing is opened or closed.
// The result carries no information.
JNIEXPORT jboolean JNICALL Java_Pondrex_DLL_SetCommMode(JNIEnv *, jobject, jint mode) {
  RunJavaCall(0, [mode](TPSensor &sensor) {
    return api::SetCommMode(sensor.HecrLink1(), static_cast<uint32_t>(mode));
  });
  return JNI_TRUE;
}

// The USB devices that the link reports; an empty string, never null, when
// there are none.
JNIEXPORT jstring JNICALL Java_Pondrex_DLL_EnumUsbDeviceStr(JNIEnv *env, jobject) {
  const std::optional<std::u16string> devices =
      RunJavaCall(std::optional<std::u16string>(),
                  [](TPSensor &sensor) { return api::EnumUsbDevices(sensor.HecrLink1()); });
  return api::NewJavaString(env, devices.value_or(std::u16string()));
}

JNIEXPORT jboolean JNICALL Java_Pondrex_DLL_SetUsbDeviceStr(JNIEnv *env, jobject, jstring device) {
  return WithStringBytes(env, device, [](TPSensor &sensor, const char *bytes) {
    return api::SetUsbDeviceStr(sensor.HecrLink1(), bytes);
  });
}

// Dispatches the calling thread's queued messages once: serial data reach
// the driver, and the callbacks run, inside this call.
JNIEXPORT void JNICALL Java_Pondrex_DLL_DoEvents(JNIEnv *, jobject) {
  try {
    api::DoEvents(api::JavaHostPlatform());
  } catch (...) {
  }
  api::JavaHostCallEnded();
}

// Binds the Java method IS1INFO or SENSORINFO (the name in any case of
// ASCII letters) on a fresh object of the class className, given in JNI
// form ("com/example/Events"). An unknown name, an unknown class or a class
// without the method binds nothing and leaves an earlier binding as it was.
JNIEXPORT void JNICALL Java_Pondrex_DLL_SetCallBackFunc(JNIEnv *env, jobject, jstring name,
                                                        jstring className) {
  std::optional<api::TJavaCallback> which;
  {
    const api::TJavaStringBytes nameBytes(env, name);
    if (nameBytes.get() == nullptr)
      return;
    try {
      which = JavaCallbackNamed(nameBytes.get());
    } catch (...) {
    }
  }
  if (!which)
    return;
  jclass cls = nullptr;
  {
    const api::TJavaStringBytes classBytes(env, className);
    if (classBytes.get() == nullptr)
      return;
    cls = env->FindClass(classBytes.get());
  }
  if (cls == nullptr) {
    env->ExceptionClear();
    return;
  }
  if (api::JavaCallbacks.Bind(env, *which, cls))
    pondrex::CallbackSlots.Java = &api::JavaCallbacks;
  env->DeleteLocalRef(cls);
}

} // extern "C"
