// Texts across the JNI boundary: Java strings made from the driver's text,
// and the bytes of a Java string argument for the length of one call.
#pragma once

#include <jni.h>

#include <string_view>

namespace pondrex::api {

// A new local reference to a Java string with the UTF-16 text unchanged
// (supplementary characters and all). Null when the virtual machine could
// not make it; its OutOfMemoryError is then pending.
inline jstring NewJavaString(JNIEnv *env, std::u16string_view text) {
  static_assert(sizeof(jchar) == sizeof(char16_t));
  return env->NewString(reinterpret_cast<const jchar *>(text.data()), static_cast<jsize>(text.size()));
}

// The bytes of a Java string (modified UTF-8, zero-terminated), taken with
// GetStringUTFChars and released when the object goes, on every path out of
// the call. Null for a null string, and when the virtual machine could not
// give the bytes; its pending error is then cleared, so the caller can
// return a plain failure.
class TJavaStringBytes {
public:
  TJavaStringBytes(JNIEnv *env, jstring string) : env_(env), string_(string) {
    if (string_ == nullptr)
      return;
    bytes_ = env_->GetStringUTFChars(string_, nullptr);
    if (bytes_ == nullptr)
      env_->ExceptionClear();
  }
  ~TJavaStringBytes() {
    if (bytes_ != nullptr)
      env_->ReleaseStringUTFChars(string_, bytes_);
  }
  TJavaStringBytes(const TJavaStringBytes &) = delete;
  TJavaStringBytes &operator=(const TJavaStringBytes &) = delete;

  const char *get() const { return bytes_; }

private:
  JNIEnv *env_;
  jstring string_;
  const char *bytes_ = nullptr;
};

} // namespace pondrex::api
