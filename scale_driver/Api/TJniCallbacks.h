// The driver's Java callbacks through JNI: the methods IS1INFO and
// SENSORINFO of an object that the library allocates from a class that the
// Java host names.
//
// A JNI environment is valid only on its own thread, so none is kept: each
// call takes the environment of the thread it runs on from the virtual
// machine. A thread that the machine does not know is attached for the call
// and detached after it. Each Java call deletes the strings it made (a wait
// with many frames stays inside one native call, whose local references
// would otherwise pile up), and a Java exception that a method throws is
// cleared, so that the next JNI call on that thread is legal.
#pragma once

#include "TJavaCallbacks.h"

#include <jni.h>

#include <cstdint>
#include <string>

namespace pondrex::api {

enum class TJavaCallback : uint8_t { Is1Info, SensorInfo };

// The method names and descriptors that the callback class declares.
inline constexpr const char *Is1InfoMethodName = "IS1INFO";
inline constexpr const char *Is1InfoDescriptor =
    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V";
inline constexpr const char *SensorInfoMethodName = "SENSORINFO";
inline constexpr const char *SensorInfoDescriptor = "(DDDIIIIIIII)V";

class TJniCallbacks final : public TJavaCallbacks {
public:
  // Keeps the virtual machine through which the callbacks reach Java.
  void SetVirtualMachine(JavaVM *vm) { vm_ = vm; }

  // Binds the method of which on a fresh object of cls (allocated without
  // running a constructor), through env, the environment of the calling
  // thread. On success an earlier object of the same callback is released;
  // on failure (no such method, an abstract class, no memory) nothing
  // changes and the pending Java exception is cleared. True when bound.
  bool Bind(JNIEnv *env, TJavaCallback which, jclass cls);
  bool IsBound(TJavaCallback which) const { return BindingOf(which).Method != nullptr; }

  // Releases both objects through the environment of the calling thread,
  // unbinds both methods and forgets the virtual machine.
  void Unbind();

  void Is1Info(const std::u16string &status, const std::u16string &sign, const std::u16string &weight,
               const std::u16string &unit, int32_t flag) override;
  void SensorInfo(const TSensorInfoValues &values) override;

private:
  struct TBinding {
    jmethodID Method = nullptr;
    jobject Object = nullptr; // a global reference
  };
  TBinding &BindingOf(TJavaCallback which) {
    return which == TJavaCallback::Is1Info ? is1Info_ : sensorInfo_;
  }
  const TBinding &BindingOf(TJavaCallback which) const {
    return which == TJavaCallback::Is1Info ? is1Info_ : sensorInfo_;
  }

  JavaVM *vm_ = nullptr;
  TBinding is1Info_;
  TBinding sensorInfo_;
};

// The process-wide Java callbacks; the driver reaches them through the
// callback slots once a method is bound.
extern TJniCallbacks JavaCallbacks;

} // namespace pondrex::api
