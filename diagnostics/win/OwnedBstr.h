// A BSTR, freed when its owner goes.
#pragma once

#include "WideText.h"

#include <oleauto.h>

#include <string>

namespace tavrel {

class OwnedBstr {
public:
  // Takes over a BSTR that has been allocated (null for none).
  explicit OwnedBstr(BSTR text) : text_(text) {}
  // A copy of the text; null when it cannot be allocated.
  explicit OwnedBstr(const std::u16string &text) : text_(SysAllocString(WidePointer(text))) {}
  ~OwnedBstr() { SysFreeString(text_); }
  OwnedBstr(const OwnedBstr &) = delete;
  OwnedBstr &operator=(const OwnedBstr &) = delete;

  BSTR get() const { return text_; }

private:
  BSTR text_;
};

} // namespace tavrel
