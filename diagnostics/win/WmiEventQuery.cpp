#include "WmiEventQuery.h"

#include "CommandLines.h"
#include "PipeText.h"
#include "StandardStreamsSink.h"
#include "WideText.h"

#include <windows.h>

#include <wbemidl.h>

#include <vector>

namespace tavrel {
namespace {

// Releases a COM interface when it goes.
template <typename T> class ComRef {
public:
  ComRef() = default;
  ~ComRef() {
    if (p_ != nullptr) {
      p_->Release();
    }
  }
  ComRef(const ComRef &) = delete;
  ComRef &operator=(const ComRef &) = delete;
  T *get() const { return p_; }
  T *operator->() const { return p_; }
  T **receive() { return &p_; }

private:
  T *p_ = nullptr;
};

// A BSTR freed when it goes.
class Bstr {
public:
  explicit Bstr(const std::u16string &text) : b_(SysAllocString(WidePointer(text))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr &) = delete;
  Bstr &operator=(const Bstr &) = delete;
  BSTR get() const { return b_; }

private:
  BSTR b_;
};

// Calls CoUninitialize when it goes, for a successful CoInitializeEx.
class ComApartment {
public:
  ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComApartment() {
    if (ok_) {
      CoUninitialize();
    }
  }
  ComApartment(const ComApartment &) = delete;
  ComApartment &operator=(const ComApartment &) = delete;
  bool ok() const { return ok_; }

private:
  bool ok_;
};

// The messages of the results; false with the failure's line when a step
// fails. The COM objects are released before the apartment is left.
bool queryMessages(std::vector<std::u16string> &messages, std::u16string &failure) {
  ComRef<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void **>(locator.receive())))) {
    failure = u"Failed to create IWbemLocator object.";
    return false;
  }
  ComRef<IWbemServices> services;
  const Bstr resource{std::u16string(kPowerShellWmiNamespace)};
  if (resource.get() == nullptr || FAILED(locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0,
                                                                 nullptr, nullptr, services.receive()))) {
    failure = u"Failed to connect to PowerShell.";
    return false;
  }
  if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    failure = u"Failed to set proxy blanket.";
    return false;
  }
  ComRef<IEnumWbemClassObject> results;
  const Bstr language(u"WQL");
  const Bstr query(WmiEventQueryText());
  if (language.get() == nullptr || query.get() == nullptr ||
      FAILED(services->ExecQuery(language.get(), query.get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 results.receive()))) {
    failure = u"Failed to execute PowerShell command.";
    return false;
  }
  for (;;) {
    ComRef<IWbemClassObject> object;
    ULONG returned = 0;
    results->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.receive(), &returned);
    if (returned == 0 || object.get() == nullptr) {
      break;
    }
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->Get(L"Message", 0, &value, nullptr, nullptr)) && value.vt != VT_NULL) {
      if (value.vt == VT_BSTR && value.bstrVal != nullptr) {
        messages.push_back(FromWide(std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal))));
      } else {
        messages.emplace_back();
      }
    }
    VariantClear(&value);
  }
  return true;
}

} // namespace

std::u16string QueryEventsViaWmiPowerShell() {
  StandardStreamsSink sink;
  std::vector<std::u16string> messages;
  {
    ComApartment apartment;
    if (!apartment.ok()) {
      sink.WriteWide(u"Failed to initialize COM.\n");
      return u"";
    }
    std::u16string failure;
    if (!queryMessages(messages, failure)) {
      sink.WriteWide(failure + u"\n");
      return u"";
    }
  }
  return EventMessageLines(messages);
}

} // namespace tavrel
