#include "WmiQueries.h"

#include <objbase.h>
#include <wbemidl.h>

#include <functional>
#include <iostream>
#include <vector>

#include "ComOwners.h"
#include "OwnedBstr.h"
#include "WideText.h"
#include "WmiReportText.h"
#include "WmiStatus.h"

namespace tavrel {
namespace {

bool Report(const char *message, HRESULT result) {
  std::cerr << WmiFailureLine(message, static_cast<std::int32_t>(result)) << std::flush;
  return false;
}

// Runs the query and hands each result object to visit, until visit returns
// false or no object is left. False after a failed set-up step, which has
// been reported.
bool RunWmiQuery(const char *wql, const std::function<bool(IWbemClassObject &)> &visit) {
  // Declared first, so they are freed last: after COM has been uninitialised.
  OwnedBstr space(AnsiToBstr("ROOT\\CIMV2"));
  OwnedBstr language(AnsiToBstr("WQL"));
  OwnedBstr query(AnsiToBstr(wql));
  const pos::ComApartment apartment;
  if (!apartment.ok()) {
    return Report(ComInitFailed, apartment.result());
  }

  // The process's security is set once; a later call is refused with
  // RPC_E_TOO_LATE and the security then in force serves this query too.
  HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (!ComSecurityAllowsQuery(static_cast<std::int32_t>(result))) {
    return Report(SecurityInitFailed, result);
  }

  // Released in reverse order, before COM is uninitialised.
  pos::ComPointer<IWbemLocator> locator;
  pos::ComPointer<IWbemServices> services;
  pos::ComPointer<IEnumWbemClassObject> results;

  result =
      CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.outVoid());
  if (FAILED(result)) {
    return Report(LocatorFailed, result);
  }
  result =
      locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.out());
  if (FAILED(result)) {
    return Report(ConnectFailed, result);
  }
  result = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                             RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (FAILED(result)) {
    return Report(ProxyBlanketFailed, result);
  }
  result = services->ExecQuery(language.get(), query.get(),
                               WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, results.out());
  if (FAILED(result)) {
    return Report(QueryFailed, result);
  }

  for (;;) {
    pos::ComPointer<IWbemClassObject> object;
    ULONG returned = 0;
    results->Next(WBEM_INFINITE, 1, object.out(), &returned);
    if (returned == 0 || object.get() == nullptr) {
      break;
    }
    if (!visit(*object.get())) {
      break;
    }
  }
  return true;
}

WmiValue GetProperty(IWbemClassObject &object, const wchar_t *name) {
  VARIANT value;
  VariantInit(&value);
  WmiValue read;
  if (SUCCEEDED(object.Get(name, 0, &value, nullptr, nullptr))) {
    read = ReadWmiValue(value);
  }
  VariantClear(&value);
  return read;
}

} // namespace

BSTR AnsiToBstr(const char *text) {
  if (text == nullptr) {
    return nullptr;
  }
  const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (count <= 0) {
    return nullptr;
  }
  std::vector<wchar_t> wide(static_cast<std::size_t>(count));
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count) != count) {
    return nullptr;
  }
  return SysAllocString(wide.data());
}

bool IsBstrEmpty(BSTR text) {
  return text == nullptr || SysStringLen(text) == 0;
}

std::u16string VariantToText(const VARIANT &value) {
  if (V_VT(&value) != VT_BSTR || IsBstrEmpty(V_BSTR(&value))) {
    return {};
  }
  return FromWide(std::wstring_view(V_BSTR(&value), SysStringLen(V_BSTR(&value))));
}

WmiValue ReadWmiValue(const VARIANT &value) {
  // Signed types keep their bits: WMI delivers unsigned 32-bit properties as VT_I4.
  switch (V_VT(&value)) {
  case VT_BSTR:
    return VariantToText(value);
  case VT_BOOL:
    return V_BOOL(&value) != VARIANT_FALSE;
  case VT_I1:
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(V_I1(&value)));
  case VT_I2:
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(V_I2(&value)));
  case VT_I4:
    return static_cast<std::uint32_t>(V_I4(&value));
  case VT_INT:
    return static_cast<std::uint32_t>(V_INT(&value));
  case VT_UI1:
    return static_cast<std::uint32_t>(V_UI1(&value));
  case VT_UI2:
    return static_cast<std::uint32_t>(V_UI2(&value));
  case VT_UI4:
    return static_cast<std::uint32_t>(V_UI4(&value));
  case VT_UINT:
    return static_cast<std::uint32_t>(V_UINT(&value));
  default:
    return WmiValue{};
  }
}

std::u16string QueryPrinters() {
  std::u16string text;
  const bool ran = RunWmiQuery("SELECT * FROM Win32_Printer", [&](IWbemClassObject &object) {
    PrinterProperties printer;
    printer.name = GetProperty(object, L"Name");
    printer.deviceId = GetProperty(object, L"DeviceID");
    printer.portName = GetProperty(object, L"PortName");
    printer.isDefault = GetProperty(object, L"Default");
    printer.printerState = GetProperty(object, L"PrinterState");
    printer.printerStatus = GetProperty(object, L"PrinterStatus");
    printer.extendedPrinterStatus = GetProperty(object, L"ExtendedPrinterStatus");
    AppendPrinterBlock(text, printer);
    return true;
  });
  return ran ? text : u" ";
}

std::u16string QueryPrintJobs() {
  std::u16string text;
  const bool ran = RunWmiQuery("SELECT * FROM Win32_PrintJob", [&](IWbemClassObject &object) {
    PrintJobProperties job;
    job.document = GetProperty(object, L"Document");
    job.jobStatus = GetProperty(object, L"JobStatus");
    job.driverName = GetProperty(object, L"DriverName");
    job.status = GetProperty(object, L"Status");
    AppendPrintJobRow(text, job);
    return true;
  });
  return ran ? text : u" ";
}

double QueryCpuLoadPercentage() {
  double load = -1;
  RunWmiQuery("SELECT * FROM Win32_Processor", [&](IWbemClassObject &object) {
    // A processor whose load is null or cannot be read is passed over; the
    // first one that reports a load ends the query.
    std::uint32_t percent = 0;
    if (!NumberOf(GetProperty(object, L"LoadPercentage"), percent)) {
      return true;
    }
    load = static_cast<double>(percent);
    return false;
  });
  return load;
}

std::u16string QueryVideoControllers() {
  std::u16string text = VideoControllerPrefix;
  const bool ran = RunWmiQuery("SELECT * FROM Win32_VideoController", [&](IWbemClassObject &object) {
    VideoControllerProperties controller;
    controller.name = GetProperty(object, L"Name");
    controller.driverVersion = GetProperty(object, L"DriverVersion");
    controller.description = GetProperty(object, L"Description");
    controller.adapterRam = GetProperty(object, L"AdapterRAM");
    AppendVideoControllerBlock(text, controller);
    return true;
  });
  return ran ? text : u" ";
}

} // namespace tavrel
