// A Java virtual machine and JNI environment of the test's own making, for a
// 32-bit host that calls Pondrex.dll's Java entry points as a Java virtual
// machine on Windows does: the function tables of jni.h, filled with stdcall
// functions that record every call and model the Java side (strings,
// classes with their methods, objects, local and global references, one
// pending exception).
//
// Only the functions that the library may use are filled; any other entry is
// null, so a call of one crashes the test. Misuse that a real machine would
// punish is collected in faults(): a reference that is not alive, a call into
// Java with an exception pending, the environment used on another thread, a
// string's bytes released twice or never taken.
#pragma once

#include <jni.h>

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pos::test {

class FakeJavaVm {
public:
  // One machine at a time; it belongs to the thread that makes it.
  FakeJavaVm();
  ~FakeJavaVm();
  FakeJavaVm(const FakeJavaVm &) = delete;
  FakeJavaVm &operator=(const FakeJavaVm &) = delete;

  JavaVM *vm() { return &vm_; }
  JNIEnv *env() { return &env_; }

  // A class that FindClass finds (name in JNI form), with the methods
  // (name and descriptor) that GetMethodID finds. An abstract class cannot
  // be allocated; a method of a throwing class leaves an exception pending.
  void defineClass(const std::string &name, const std::set<std::string> &methods, bool isAbstract = false,
                   bool throws = false);

  // A Java string as the host passes it (a local reference).
  jstring newString(const std::string &text);
  // The text of a string object; "<null>" for null, "<not a string>" else.
  std::string textOf(jobject string) const;

  // Every call so far: the function's name and its arguments.
  const std::vector<std::string> &calls() const { return calls_; }
  // The calls of one function.
  std::vector<std::string> callsOf(const std::string &function) const;
  // The Java methods called, as "Class.METHOD [text] 1 2.5".
  const std::vector<std::string> &javaCalls() const { return javaCalls_; }
  void clearCalls();

  // Bytes handed out by GetStringUTFChars and not released yet.
  size_t unreleasedStringBytes() const { return stringBytes_.size(); }
  size_t liveGlobalRefs() const { return globals_.size(); }
  // Local references that the library made and did not delete; what a
  // native method returns is the caller's and is counted too.
  size_t liveLibraryLocals() const { return libraryLocals_.size(); }
  bool exceptionPending() const { return !pending_.empty(); }
  const std::vector<std::string> &faults() const { return faults_; }

private:
  struct Object {
    enum class Kind { String, Class, Instance } kind;
    std::string text; // the string, the class name, or the instance's class
  };
  struct Class {
    std::set<std::string> methods; // "NAME descriptor"
    bool isAbstract = false;
    bool throws = false;
  };
  struct Method {
    std::string className, name, descriptor;
  };

  static FakeJavaVm &self();
  void record(const std::string &call);
  void fault(const std::string &what);
  // Checks that the calling thread may use the environment.
  void onThread(const char *function);
  jobject newRef(const std::shared_ptr<Object> &object, bool library);
  std::shared_ptr<Object> objectOf(jobject ref, const char *function);
  std::string describe(jobject ref) const;
  std::string javaArguments(const Method &method, const jvalue *args) const;

  // The entries of the function tables, stdcall as a Java virtual machine
  // on 32-bit Windows has them: the tables of jni.h take them only if its
  // JNICALL is the same convention.
  static jclass __stdcall FindClass(JNIEnv *, const char *name);
  static void __stdcall ExceptionClear(JNIEnv *);
  static jboolean __stdcall ExceptionCheck(JNIEnv *);
  static jobject __stdcall NewGlobalRef(JNIEnv *, jobject ref);
  static void __stdcall DeleteGlobalRef(JNIEnv *, jobject ref);
  static void __stdcall DeleteLocalRef(JNIEnv *, jobject ref);
  static jobject __stdcall AllocObject(JNIEnv *, jclass cls);
  static jmethodID __stdcall GetMethodID(JNIEnv *, jclass cls, const char *name, const char *descriptor);
  static jobject __stdcall CallObjectMethodA(JNIEnv *, jobject object, jmethodID method, const jvalue *args);
  static void __stdcall CallVoidMethodA(JNIEnv *, jobject object, jmethodID method, const jvalue *args);
  static jstring __stdcall NewString(JNIEnv *, const jchar *chars, jsize length);
  static jstring __stdcall NewStringUTF(JNIEnv *, const char *bytes);
  static const char *__stdcall GetStringUTFChars(JNIEnv *, jstring string, jboolean *isCopy);
  static void __stdcall ReleaseStringUTFChars(JNIEnv *, jstring string, const char *bytes);
  static jint __stdcall GetJavaVM(JNIEnv *, JavaVM **vm);
  static jint __stdcall GetEnv(JavaVM *, void **env, jint version);
  static jint __stdcall AttachCurrentThread(JavaVM *, void **env, void *args);
  static jint __stdcall DetachCurrentThread(JavaVM *);

  JNINativeInterface_ envTable_{};
  JNIInvokeInterface_ vmTable_{};
  JNIEnv env_{};
  JavaVM vm_{};
  // GetEnv answers JNI_EDETACHED on any other thread until it is attached.
  DWORD ownerThread_;
  std::set<DWORD> attachedThreads_;

  uintptr_t nextRef_ = 0x10000;
  std::map<uintptr_t, std::shared_ptr<Object>> refs_; // every live reference
  std::set<uintptr_t> globals_;
  std::set<uintptr_t> libraryLocals_;
  std::map<std::string, Class> classes_;
  std::vector<std::unique_ptr<Method>> methods_;
  std::map<const char *, std::unique_ptr<std::string>> stringBytes_;
  std::string pending_; // the pending exception's class, or empty

  std::vector<std::string> calls_;
  std::vector<std::string> javaCalls_;
  std::vector<std::string> faults_;
};

} // namespace pos::test
