#include "WmiEventQuery.h"

#include "ComOwners.h"
#include "CommandLines.h"
#include "OwnedBstr.h"
#include "PipeText.h"
#include "StandardStreamsSink.h"
#include "WideText.h"

#include <windows.h>

#include <wbemidl.h>

#include <vector>

namespace tavrel {
namespace {

// The messages of the results; false with the failure's line when a step
// fails. The COM objects are released before the apartment is left.
bool QueryMessages(std::vector<std::u16string> &messages, std::u16string &failure) {
  pos::ComPointer<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.outVoid()))) {
    failure = u"Failed to create IWbemLocator object.";
    return false;
  }
  pos::ComPointer<IWbemServices> services;
  const OwnedBstr resource{std::u16string(PowerShellWmiNamespace)};
  if (resource.get() == nullptr || FAILED(locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0,
                                                                 nullptr, nullptr, services.out()))) {
    failure = u"Failed to connect to PowerShell.";
    return false;
  }
  if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    failure = u"Failed to set proxy blanket.";
    return false;
  }
  pos::ComPointer<IEnumWbemClassObject> results;
  const OwnedBstr language(u"WQL");
  const OwnedBstr query(WmiEventQueryText());
  if (language.get() == nullptr || query.get() == nullptr ||
      FAILED(services->ExecQuery(language.get(), query.get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 results.out()))) {
    failure = u"Failed to execute PowerShell command.";
    return false;
  }
  for (;;) {
    pos::ComPointer<IWbemClassObject> object;
    ULONG returned = 0;
    results->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.out(), &returned);
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
    const pos::ComApartment apartment;
    if (!apartment.ok()) {
      sink.WriteWide(u"Failed to initialize COM.\n");
      return u"";
    }
    std::u16string failure;
    if (!QueryMessages(messages, failure)) {
      sink.WriteWide(failure + u"\n");
      return u"";
    }
  }
  return EventMessageLines(messages);
}

} // namespace tavrel
