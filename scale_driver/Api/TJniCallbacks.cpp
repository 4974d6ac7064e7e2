#include "TJniCallbacks.h"

#include "JniText.h"

#include <array>

namespace pondrex::api {

TJniCallbacks JavaCallbacks;

namespace {

// The JNI environment of the calling thread for the length of one callback.
// A thread that the virtual machine does not know is attached for it and
// detached afterwards; a thread that it knows keeps its own environment.
class TThreadEnvironment {
public:
  explicit TThreadEnvironment(JavaVM *vm) : vm_(vm) {
    if (vm_ == nullptr)
      return;
    void *env = nullptr;
    const jint got = vm_->GetEnv(&env, JNI_VERSION_1_4);
    if (got == JNI_OK) {
      env_ = static_cast<JNIEnv *>(env);
    } else if (got == JNI_EDETACHED && vm_->AttachCurrentThread(&env, nullptr) == JNI_OK) {
      env_ = static_cast<JNIEnv *>(env);
      attached_ = true;
    }
  }
  ~TThreadEnvironment() {
    if (attached_)
      vm_->DetachCurrentThread();
  }
  TThreadEnvironment(const TThreadEnvironment &) = delete;
  TThreadEnvironment &operator=(const TThreadEnvironment &) = delete;

  // Null when the thread has no environment; also while a Java exception is
  // pending on it, which is not the driver's to handle and makes any call
  // into Java illegal.
  JNIEnv *ReadyForJava() const { return env_ != nullptr && !env_->ExceptionCheck() ? env_ : nullptr; }
  JNIEnv *get() const { return env_; }

private:
  JavaVM *vm_;
  JNIEnv *env_ = nullptr;
  bool attached_ = false;
};

// An exception that a callback method threw ends with the call: the driver
// goes on with its work, as after a plain callback.
void ClearException(JNIEnv *env) {
  if (env->ExceptionCheck())
    env->ExceptionClear();
}

} // namespace

bool TJniCallbacks::Bind(JNIEnv *env, TJavaCallback which, jclass cls) {
  const bool is1Info = which == TJavaCallback::Is1Info;
  const jmethodID method = env->GetMethodID(cls, is1Info ? Is1InfoMethodName : SensorInfoMethodName,
                                            is1Info ? Is1InfoDescriptor : SensorInfoDescriptor);
  if (method == nullptr) {
    ClearException(env);
    return false;
  }
  const jobject local = env->AllocObject(cls);
  if (local == nullptr) {
    ClearException(env);
    return false;
  }
  const jobject global = env->NewGlobalRef(local);
  env->DeleteLocalRef(local);
  if (global == nullptr) {
    ClearException(env);
    return false;
  }
  if (vm_ == nullptr) {
    // Bound again after Unbind: the callbacks need the machine once more.
    JavaVM *vm = nullptr;
    if (env->GetJavaVM(&vm) == JNI_OK)
      vm_ = vm;
  }
  TBinding &binding = BindingOf(which);
  const jobject earlier = binding.Object;
  binding = {method, global};
  if (earlier != nullptr)
    env->DeleteGlobalRef(earlier);
  return true;
}

void TJniCallbacks::Unbind() {
  const TThreadEnvironment thread(vm_);
  for (TBinding *binding : {&is1Info_, &sensorInfo_}) {
    const jobject object = binding->Object;
    *binding = {};
    if (object != nullptr && thread.get() != nullptr)
      thread.get()->DeleteGlobalRef(object);
  }
  vm_ = nullptr;
}

void TJniCallbacks::Is1Info(const std::u16string &status, const std::u16string &sign,
                            const std::u16string &weight, const std::u16string &unit, int32_t flag) {
  // Copied: the method may bind another object while it runs.
  const TBinding binding = is1Info_;
  if (binding.Method == nullptr)
    return;
  const TThreadEnvironment thread(vm_);
  JNIEnv *env = thread.ReadyForJava();
  if (env == nullptr)
    return;
  std::array<jstring, 4> texts{};
  const std::array<const std::u16string *, 4> sources = {&status, &sign, &weight, &unit};
  bool made = true;
  for (size_t i = 0; made && i < texts.size(); ++i) {
    texts[i] = NewJavaString(env, *sources[i]);
    made = texts[i] != nullptr;
  }
  if (made) {
    std::array<jvalue, 5> args{};
    for (size_t i = 0; i < texts.size(); ++i)
      args[i].l = texts[i];
    args[4].i = flag;
    env->CallVoidMethodA(binding.Object, binding.Method, args.data());
  }
  ClearException(env);
  for (const jstring text : texts)
    if (text != nullptr)
      env->DeleteLocalRef(text);
}

void TJniCallbacks::SensorInfo(const TSensorInfoValues &values) {
  const TBinding binding = sensorInfo_;
  if (binding.Method == nullptr)
    return;
  const TThreadEnvironment thread(vm_);
  JNIEnv *env = thread.ReadyForJava();
  if (env == nullptr)
    return;
  std::array<jvalue, 11> args{};
  args[0].d = values.Net;
  args[1].d = values.Tare;
  args[2].d = values.Gross;
  const int32_t integers[] = {values.Mode,     values.DecimalDigit, values.Unit,     values.OldAd,
                              values.FilterAd, values.ZeroAd,       values.WeightAd, values.Flag};
  for (size_t i = 0; i < std::size(integers); ++i)
    args[3 + i].i = integers[i];
  env->CallVoidMethodA(binding.Object, binding.Method, args.data());
  ClearException(env);
}

} // namespace pondrex::api
