#include "FakeJavaVm.h"

#include <cstdio>
#include <stdexcept>

static_assert(sizeof(jint) == 4 && sizeof(jlong) == 8 && sizeof(jbyte) == 1);
static_assert(sizeof(jvalue) == 8);

namespace pos::test {

namespace {

FakeJavaVm *current = nullptr;

std::string hexOf(const void *pointer) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

std::string asText(const char *bytes) {
  return bytes == nullptr ? "<null>" : bytes;
}

// The UTF-16 text as UTF-8 (the tests use ASCII; anything else shows as '?').
std::string narrow(const jchar *chars, jsize length) {
  std::string text;
  for (jsize i = 0; i < length; ++i)
    text += chars[i] < 0x80 ? static_cast<char>(chars[i]) : '?';
  return text;
}

} // namespace

FakeJavaVm::FakeJavaVm() : ownerThread_(GetCurrentThreadId()) {
  if (current != nullptr)
    throw std::logic_error("one FakeJavaVm at a time");
  current = this;
  envTable_.FindClass = &FindClass;
  envTable_.ExceptionClear = &ExceptionClear;
  envTable_.ExceptionCheck = &ExceptionCheck;
  envTable_.NewGlobalRef = &NewGlobalRef;
  envTable_.DeleteGlobalRef = &DeleteGlobalRef;
  envTable_.DeleteLocalRef = &DeleteLocalRef;
  envTable_.AllocObject = &AllocObject;
  envTable_.GetMethodID = &GetMethodID;
  envTable_.CallObjectMethodA = &CallObjectMethodA;
  envTable_.CallVoidMethodA = &CallVoidMethodA;
  envTable_.NewString = &NewString;
  envTable_.NewStringUTF = &NewStringUTF;
  envTable_.GetStringUTFChars = &GetStringUTFChars;
  envTable_.ReleaseStringUTFChars = &ReleaseStringUTFChars;
  envTable_.GetJavaVM = &GetJavaVM;
  vmTable_.GetEnv = &GetEnv;
  vmTable_.AttachCurrentThread = &AttachCurrentThread;
  vmTable_.DetachCurrentThread = &DetachCurrentThread;
  env_.functions = &envTable_;
  vm_.functions = &vmTable_;
}

FakeJavaVm::~FakeJavaVm() {
  current = nullptr;
}

FakeJavaVm &FakeJavaVm::self() {
  return *current;
}

void FakeJavaVm::defineClass(const std::string &name, const std::set<std::string> &methods, bool isAbstract,
                             bool throws) {
  classes_[name] = Class{methods, isAbstract, throws};
}

jstring FakeJavaVm::newString(const std::string &text) {
  return static_cast<jstring>(newRef(std::make_shared<Object>(Object{Object::Kind::String, text}), false));
}

std::string FakeJavaVm::textOf(jobject string) const {
  if (string == nullptr)
    return "<null>";
  const auto found = refs_.find(reinterpret_cast<uintptr_t>(string));
  if (found == refs_.end() || found->second->kind != Object::Kind::String)
    return "<not a string>";
  return found->second->text;
}

std::vector<std::string> FakeJavaVm::callsOf(const std::string &function) const {
  std::vector<std::string> found;
  for (const std::string &call : calls_)
    if (call == function || call.rfind(function + " ", 0) == 0)
      found.push_back(call);
  return found;
}

void FakeJavaVm::clearCalls() {
  calls_.clear();
  javaCalls_.clear();
}

void FakeJavaVm::record(const std::string &call) {
  calls_.push_back(call);
}

void FakeJavaVm::fault(const std::string &what) {
  faults_.push_back(what);
}

void FakeJavaVm::onThread(const char *function) {
  const DWORD thread = GetCurrentThreadId();
  if (thread != ownerThread_ && attachedThreads_.count(thread) == 0)
    fault(std::string(function) + ": the environment used on a thread it does not belong to");
}

jobject FakeJavaVm::newRef(const std::shared_ptr<Object> &object, bool library) {
  nextRef_ += 0x10;
  refs_[nextRef_] = object;
  if (library)
    libraryLocals_.insert(nextRef_);
  return reinterpret_cast<jobject>(nextRef_);
}

std::shared_ptr<FakeJavaVm::Object> FakeJavaVm::objectOf(jobject ref, const char *function) {
  const auto found = refs_.find(reinterpret_cast<uintptr_t>(ref));
  if (found == refs_.end()) {
    fault(std::string(function) + ": " + (ref == nullptr ? "null" : "a dead reference " + hexOf(ref)));
    return nullptr;
  }
  return found->second;
}

std::string FakeJavaVm::describe(jobject ref) const {
  const auto found = refs_.find(reinterpret_cast<uintptr_t>(ref));
  if (found == refs_.end())
    return ref == nullptr ? "null" : "dead";
  return (globals_.count(reinterpret_cast<uintptr_t>(ref)) != 0 ? "global " : "") + found->second->text;
}

std::string FakeJavaVm::javaArguments(const Method &method, const jvalue *args) const {
  std::string text;
  char number[32];
  size_t i = 0;
  for (const char c : method.descriptor.substr(1, method.descriptor.find(')') - 1)) {
    if (c == 'L') {
      text += " [" + textOf(args[i++].l) + "]";
    } else if (c == 'I') {
      std::snprintf(number, sizeof number, " %d", static_cast<int>(args[i++].i));
      text += number;
    } else if (c == 'D') {
      std::snprintf(number, sizeof number, " %g", args[i++].d);
      text += number;
    }
  }
  return text;
}

jclass FakeJavaVm::FindClass(JNIEnv *, const char *name) {
  FakeJavaVm &vm = self();
  vm.onThread("FindClass");
  vm.record("FindClass " + asText(name));
  if (!vm.pending_.empty())
    vm.fault("FindClass with an exception pending");
  if (name == nullptr || vm.classes_.count(name) == 0) {
    vm.pending_ = "java/lang/NoClassDefFoundError";
    return nullptr;
  }
  return static_cast<jclass>(vm.newRef(std::make_shared<Object>(Object{Object::Kind::Class, name}), true));
}

void FakeJavaVm::ExceptionClear(JNIEnv *) {
  FakeJavaVm &vm = self();
  vm.onThread("ExceptionClear");
  vm.record("ExceptionClear");
  vm.pending_.clear();
}

jboolean FakeJavaVm::ExceptionCheck(JNIEnv *) {
  FakeJavaVm &vm = self();
  vm.onThread("ExceptionCheck");
  vm.record("ExceptionCheck");
  return vm.pending_.empty() ? JNI_FALSE : JNI_TRUE;
}

jobject FakeJavaVm::NewGlobalRef(JNIEnv *, jobject ref) {
  FakeJavaVm &vm = self();
  vm.onThread("NewGlobalRef");
  vm.record("NewGlobalRef " + vm.describe(ref));
  const std::shared_ptr<Object> object = vm.objectOf(ref, "NewGlobalRef");
  if (object == nullptr)
    return nullptr;
  const jobject global = vm.newRef(object, false);
  vm.globals_.insert(reinterpret_cast<uintptr_t>(global));
  return global;
}

void FakeJavaVm::DeleteGlobalRef(JNIEnv *, jobject ref) {
  FakeJavaVm &vm = self();
  vm.onThread("DeleteGlobalRef");
  vm.record("DeleteGlobalRef " + vm.describe(ref));
  if (vm.globals_.erase(reinterpret_cast<uintptr_t>(ref)) == 0) {
    vm.fault("DeleteGlobalRef of " + vm.describe(ref));
    return;
  }
  vm.refs_.erase(reinterpret_cast<uintptr_t>(ref));
}

void FakeJavaVm::DeleteLocalRef(JNIEnv *, jobject ref) {
  FakeJavaVm &vm = self();
  vm.onThread("DeleteLocalRef");
  vm.record("DeleteLocalRef " + vm.describe(ref));
  const uintptr_t key = reinterpret_cast<uintptr_t>(ref);
  if (vm.refs_.count(key) == 0 || vm.globals_.count(key) != 0) {
    vm.fault("DeleteLocalRef of " + vm.describe(ref));
    return;
  }
  vm.refs_.erase(key);
  vm.libraryLocals_.erase(key);
}

jobject FakeJavaVm::AllocObject(JNIEnv *, jclass cls) {
  FakeJavaVm &vm = self();
  vm.onThread("AllocObject");
  vm.record("AllocObject " + vm.describe(cls));
  const std::shared_ptr<Object> object = vm.objectOf(cls, "AllocObject");
  if (object == nullptr || object->kind != Object::Kind::Class)
    return nullptr;
  if (vm.classes_[object->text].isAbstract) {
    vm.pending_ = "java/lang/InstantiationException";
    return nullptr;
  }
  return vm.newRef(std::make_shared<Object>(Object{Object::Kind::Instance, object->text}), true);
}

jmethodID FakeJavaVm::GetMethodID(JNIEnv *, jclass cls, const char *name, const char *descriptor) {
  FakeJavaVm &vm = self();
  vm.onThread("GetMethodID");
  vm.record("GetMethodID " + vm.describe(cls) + " " + asText(name) + " " + asText(descriptor));
  const std::shared_ptr<Object> object = vm.objectOf(cls, "GetMethodID");
  if (object == nullptr || object->kind != Object::Kind::Class)
    return nullptr;
  const std::string signature = asText(name) + " " + asText(descriptor);
  if (vm.classes_[object->text].methods.count(signature) == 0) {
    vm.pending_ = "java/lang/NoSuchMethodError";
    return nullptr;
  }
  vm.methods_.push_back(std::make_unique<Method>(Method{object->text, name, descriptor}));
  return reinterpret_cast<jmethodID>(vm.methods_.back().get());
}

jobject FakeJavaVm::CallObjectMethodA(JNIEnv *, jobject object, jmethodID, const jvalue *) {
  FakeJavaVm &vm = self();
  vm.record("CallObjectMethodA " + vm.describe(object));
  vm.fault("CallObjectMethodA: the callback methods return void");
  return nullptr;
}

void FakeJavaVm::CallVoidMethodA(JNIEnv *, jobject object, jmethodID methodID, const jvalue *args) {
  FakeJavaVm &vm = self();
  vm.onThread("CallVoidMethodA");
  const Method *method = reinterpret_cast<const Method *>(methodID);
  vm.record("CallVoidMethodA " + vm.describe(object) + " " + method->name);
  if (!vm.pending_.empty())
    vm.fault("CallVoidMethodA with an exception pending");
  const std::shared_ptr<Object> target = vm.objectOf(object, "CallVoidMethodA");
  if (target == nullptr)
    return;
  if (target->kind != Object::Kind::Instance || target->text != method->className)
    vm.fault("CallVoidMethodA: " + method->name + " called on " + target->text);
  vm.javaCalls_.push_back(target->text + "." + method->name + vm.javaArguments(*method, args));
  if (vm.classes_[target->text].throws)
    vm.pending_ = "java/lang/IllegalStateException";
}

jstring FakeJavaVm::NewString(JNIEnv *, const jchar *chars, jsize length) {
  FakeJavaVm &vm = self();
  vm.onThread("NewString");
  const std::string text = narrow(chars, length);
  vm.record("NewString [" + text + "]");
  if (!vm.pending_.empty())
    vm.fault("NewString with an exception pending");
  return static_cast<jstring>(vm.newRef(std::make_shared<Object>(Object{Object::Kind::String, text}), true));
}

jstring FakeJavaVm::NewStringUTF(JNIEnv *, const char *bytes) {
  FakeJavaVm &vm = self();
  vm.onThread("NewStringUTF");
  vm.record("NewStringUTF [" + asText(bytes) + "]");
  if (bytes == nullptr)
    return nullptr;
  return static_cast<jstring>(vm.newRef(std::make_shared<Object>(Object{Object::Kind::String, bytes}), true));
}

const char *FakeJavaVm::GetStringUTFChars(JNIEnv *, jstring string, jboolean *isCopy) {
  FakeJavaVm &vm = self();
  vm.onThread("GetStringUTFChars");
  vm.record("GetStringUTFChars [" + vm.textOf(string) + "]");
  const std::shared_ptr<Object> object = vm.objectOf(string, "GetStringUTFChars");
  if (object == nullptr || object->kind != Object::Kind::String)
    return nullptr;
  auto bytes = std::make_unique<std::string>(object->text);
  const char *handedOut = bytes->c_str();
  vm.stringBytes_[handedOut] = std::move(bytes);
  if (isCopy != nullptr)
    *isCopy = JNI_TRUE;
  return handedOut;
}

void FakeJavaVm::ReleaseStringUTFChars(JNIEnv *, jstring string, const char *bytes) {
  FakeJavaVm &vm = self();
  vm.onThread("ReleaseStringUTFChars");
  vm.record("ReleaseStringUTFChars [" + vm.textOf(string) + "]");
  if (vm.stringBytes_.erase(bytes) == 0)
    vm.fault("ReleaseStringUTFChars of bytes not handed out");
}

jint FakeJavaVm::GetJavaVM(JNIEnv *, JavaVM **vm) {
  FakeJavaVm &self = FakeJavaVm::self();
  self.onThread("GetJavaVM");
  self.record("GetJavaVM");
  *vm = &self.vm_;
  return JNI_OK;
}

jint FakeJavaVm::GetEnv(JavaVM *, void **env, jint version) {
  FakeJavaVm &vm = self();
  char text[32];
  std::snprintf(text, sizeof text, "GetEnv %08X", static_cast<unsigned>(version));
  vm.record(text);
  const DWORD thread = GetCurrentThreadId();
  if (thread != vm.ownerThread_ && vm.attachedThreads_.count(thread) == 0) {
    *env = nullptr;
    return JNI_EDETACHED;
  }
  if (version != JNI_VERSION_1_1 && version != JNI_VERSION_1_2 && version != JNI_VERSION_1_4 &&
      version != JNI_VERSION_1_6 && version != JNI_VERSION_1_8) {
    *env = nullptr;
    return JNI_EVERSION;
  }
  *env = &vm.env_;
  return JNI_OK;
}

jint FakeJavaVm::AttachCurrentThread(JavaVM *, void **env, void *) {
  FakeJavaVm &vm = self();
  vm.record("AttachCurrentThread");
  vm.attachedThreads_.insert(GetCurrentThreadId());
  *env = &vm.env_;
  return JNI_OK;
}

jint FakeJavaVm::DetachCurrentThread(JavaVM *) {
  FakeJavaVm &vm = self();
  vm.record("DetachCurrentThread");
  if (vm.attachedThreads_.erase(GetCurrentThreadId()) == 0)
    vm.fault("DetachCurrentThread of a thread that was not attached");
  return JNI_OK;
}

} // namespace pos::test
