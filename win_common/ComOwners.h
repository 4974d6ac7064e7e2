// Owners of COM interface pointers and of the calling thread's COM
// initialisation: each releases what it holds when it goes, so no early
// return can leak a reference or leave COM initialised.
#pragma once

#include <windows.h>

#include <objbase.h>

namespace pos {

// One reference to a COM interface, released when its owner goes. Declare
// it after the ComApartment it was obtained in, so it is released first.
template <typename Interface> class ComPointer {
public:
  ComPointer() = default;
  ~ComPointer() { reset(); }
  ComPointer(const ComPointer &) = delete;
  ComPointer &operator=(const ComPointer &) = delete;

  Interface *get() const { return pointer_; }
  Interface *operator->() const { return pointer_; }
  void reset() {
    if (pointer_ != nullptr) {
      pointer_->Release();
      pointer_ = nullptr;
    }
  }
  // For functions that hand out a reference: what was held is released
  // first.
  Interface **out() {
    reset();
    return &pointer_;
  }
  void **outVoid() { return reinterpret_cast<void **>(out()); }

private:
  Interface *pointer_ = nullptr;
};

// CoInitializeEx for a multithreaded apartment, balanced by CoUninitialize
// when it succeeded (S_OK or S_FALSE). A failure, RPC_E_CHANGED_MODE in a
// single-threaded apartment among them, leaves nothing to balance.
class ComApartment {
public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComApartment() {
    if (ok()) {
      CoUninitialize();
    }
  }
  ComApartment(const ComApartment &) = delete;
  ComApartment &operator=(const ComApartment &) = delete;

  bool ok() const { return SUCCEEDED(result_); }
  HRESULT result() const { return result_; }

private:
  HRESULT result_;
};

} // namespace pos
