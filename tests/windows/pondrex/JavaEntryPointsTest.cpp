// Pondrex.dll's Java entry points against the simulated scale, called as a
// 32-bit Java virtual machine on Windows calls them: bound by name, stdcall,
// with the environment and the class first, through a JNI environment and
// virtual machine of the test's own making (FakeJavaVm), which records every
// JNI call the library makes and models the Java side.
#include "FakeJavaVm.h"
#include "LoadedModule.h"
#include "PeerClient.h"
#include "ScaleFrames.h"
#include "StdcallProbe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using pos::test::callStdcall;
using pos::test::FakeJavaVm;
using pos::test::LoadedModule;
using pos::test::ScaleClient;
using pos::test::slotOf;
using pos::test::StdcallOutcome;
using pos::test::toHex;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

const std::string Is1Info =
    "IS1INFO (Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V";
const std::string SensorInfo = "SENSORINFO (DDDIIIIIIII)V";
// Net 12.34, tare 1, gross 13.34, mode 1, 2 decimals, unit 0, flag 0.
const Bytes Measurement = pondrex::test::MeasurementPayload();
const std::string WeightCall = "host/ScaleEvents.IS1INFO [S] [ ] [  1.25] [kg] 0";
const std::string MeasurementCall = "host/ScaleEvents.SENSORINFO 12.34 1 13.34 1 2 0 0 0 0 0 0";

const char *const EntryPoints[] = {
    "JNI_OnLoad",
    "JNI_OnUnLoad",
    "Java_Pondrex_DLL_Open",
    "Java_Pondrex_DLL_Close",
    "Java_Pondrex_DLL_GetWeight",
    "Java_Pondrex_DLL_Zero",
    "Java_Pondrex_DLL_Tare",
    "Java_Pondrex_DLL_SetCommMode",
    "Java_Pondrex_DLL_EnumUsbDeviceStr",
    "Java_Pondrex_DLL_SetUsbDeviceStr",
    "Java_Pondrex_DLL_DoEvents",
    "Java_Pondrex_DLL_SetCallBackFunc",
};

// The class argument of the native methods, which the library never uses:
// no reference of the machine, so any use of it is a fault.
const uint32_t UnusedClass = 0x7C1A5500;

class PondrexJava : public ::testing::Test {
protected:
  void SetUp() override {
    scale_.reset();
    scale_.setId(123456);
    jvm_.defineClass("host/ScaleEvents", {Is1Info, SensorInfo});
    jvm_.defineClass("host/ThrowingEvents", {Is1Info, SensorInfo}, false, true);
    jvm_.defineClass("host/Is1OnlyEvents", {Is1Info});
    jvm_.defineClass("host/AbstractEvents", {Is1Info, SensorInfo}, true);
    dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
    ASSERT_TRUE(dll_->loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_->loadError();
    for (const char *name : EntryPoints)
      ASSERT_NE(dll_->symbol(name), nullptr) << name;
    EXPECT_EQ(call("JNI_OnLoad", {slotOf(jvm_.vm()), 0}), 0x00010004u);
  }
  void TearDown() override {
    native("Close");
    EXPECT_EQ(jvm_.faults(), Texts{});
    EXPECT_FALSE(jvm_.exceptionPending());
    dll_.reset();
  }

  // Calls an entry point with the stdcall probe: it must remove exactly its
  // slots, keep EBX, ESI and EDI, and leave no string bytes unreleased.
  uint32_t call(const std::string &name, const std::vector<uint32_t> &slots) {
    const StdcallOutcome outcome = callStdcall(dll_->symbol(name.c_str()), slots);
    EXPECT_EQ(outcome.stackDelta, 0) << name;
    EXPECT_TRUE(outcome.calleeSavedKept) << name;
    EXPECT_EQ(jvm_.unreleasedStringBytes(), 0u) << name;
    return outcome.eax;
  }
  // A native method of Pondrex.DLL: the environment and the class first.
  uint32_t native(const std::string &method, std::vector<uint32_t> slots = {}) {
    slots.insert(slots.begin(), {slotOf(jvm_.env()), UnusedClass});
    return call("Java_Pondrex_DLL_" + method, slots);
  }
  // A method with a boolean result: AL, 1 or 0.
  bool boolean(const std::string &method, std::vector<uint32_t> slots = {}) {
    const uint32_t al = native(method, std::move(slots)) & 0xFF;
    EXPECT_LE(al, 1u) << method;
    return al != 0;
  }
  // A Java string argument (null stays null).
  uint32_t string(const char *text) { return text == nullptr ? 0 : slotOf(jvm_.newString(text)); }
  // The text of a returned string.
  std::string text(uint32_t slot) { return jvm_.textOf(reinterpret_cast<jobject>(slot)); }
  void setCallBack(const char *name, const char *className) {
    native("SetCallBackFunc", {string(name), string(className)});
  }
  bool open() { return boolean("Open", {string(port_.c_str()), 9600}); }
  // DoEvents until count Java methods were called, for at most timeoutMs.
  size_t pumpUntil(size_t count, DWORD timeoutMs = 3000) {
    const DWORD started = GetTickCount();
    while (jvm_.javaCalls().size() < count && GetTickCount() - started < timeoutMs) {
      native("DoEvents");
      Sleep(5);
    }
    return jvm_.javaCalls().size();
  }
  // What the scale recognised, after waiting for count entries.
  Texts received(size_t count) {
    Texts entries;
    for (const pos::test::ScaleLogEntry &entry : scale_.log(count, 2000))
      entries.push_back(entry.kind + " " + toHex(entry.bytes));
    return entries;
  }

  FakeJavaVm jvm_;
  ScaleClient scale_;
  std::string port_ = ScaleClient::comPort();
  std::unique_ptr<LoadedModule> dll_;
};

TEST_F(PondrexJava, CallbacksReachCallVoidMethodAWithTheirValues) {
  setCallBack("is1info", "host/ScaleEvents");
  setCallBack("Sensorinfo", "host/ScaleEvents");
  EXPECT_EQ(jvm_.callsOf("GetMethodID"),
            (Texts{"GetMethodID host/ScaleEvents " + Is1Info, "GetMethodID host/ScaleEvents " + SensorInfo}));
  EXPECT_EQ(jvm_.liveGlobalRefs(), 2u);

  scale_.is1Text('S', ' ', "  1.25", "kg");
  jvm_.clearCalls();
  EXPECT_TRUE(open());
  scale_.is1Off();
  EXPECT_EQ(jvm_.javaCalls(), Texts{WeightCall});
  EXPECT_EQ(jvm_.callsOf("GetEnv"), Texts{"GetEnv 00010004"});
  // The four strings of the call are deleted after it.
  EXPECT_EQ(jvm_.callsOf("NewString").size(), 4u);
  EXPECT_EQ(jvm_.callsOf("DeleteLocalRef").size(), 4u);
  EXPECT_EQ(jvm_.liveLibraryLocals(), 0u);

  jvm_.clearCalls();
  scale_.push(scale_.frame(0x83000000, Measurement));
  EXPECT_EQ(pumpUntil(1), 1u);
  EXPECT_EQ(jvm_.javaCalls(), Texts{MeasurementCall});

  const uint32_t weight = native("GetWeight");
  EXPECT_EQ(text(weight), "S, ,  1.25,kg,0");
  EXPECT_EQ(native("GetWeight"), 0u);
}

TEST_F(PondrexJava, ResultsOfTheNativeMethods) {
  EXPECT_TRUE(boolean("Close")); // never opened
  const uint32_t devices = native("EnumUsbDeviceStr");
  EXPECT_NE(devices, 0u);
  EXPECT_EQ(text(devices), "");
  EXPECT_TRUE(boolean("SetUsbDeviceStr", {string("USB#VID_1234")}));

  // The USB printer mode opens the port as a serial port.
  boolean("SetCommMode", {4});
  scale_.is1Text('S', ' ', "  1.25", "kg");
  EXPECT_TRUE(open());
  EXPECT_EQ(received(1), Texts{"is1req 0511"});
  scale_.is1Off();

  struct Case {
    const char *method;
    uint8_t rawByte;
  };
  for (const Case c : {Case{"Zero", 0xFD}, Case{"Tare", 0xFE}}) {
    SCOPED_TRACE(c.method);
    scale_.clear();
    scale_.reply({c.rawByte}, scale_.frame(0x800E0000));
    EXPECT_TRUE(boolean(c.method, {string("123456")}));
    EXPECT_EQ(received(1), Texts{"raw " + toHex({c.rawByte})});
    scale_.noReply({c.rawByte});
    EXPECT_FALSE(boolean(c.method, {string("123456")}));
  }
}

TEST_F(PondrexJava, StringBytesAreReleasedAlsoWhenTheExportFails) {
  // No such port, then a port without an answer: the export fails.
  EXPECT_FALSE(boolean("Open", {string("COM99"), 9600}));
  EXPECT_EQ(jvm_.callsOf("ReleaseStringUTFChars"), Texts{"ReleaseStringUTFChars [COM99]"});
  scale_.is1Off();
  EXPECT_FALSE(open());
  native("Close");
  EXPECT_FALSE(boolean("Zero", {string("123456")}));

  // A null string fails without reaching the export or the bytes.
  jvm_.clearCalls();
  scale_.clear();
  for (const char *method : {"Zero", "Tare", "SetUsbDeviceStr"})
    EXPECT_FALSE(boolean(method, {0})) << method;
  EXPECT_FALSE(boolean("Open", {0, 9600}));
  setCallBack(nullptr, "host/ScaleEvents");
  setCallBack("IS1INFO", nullptr);
  EXPECT_EQ(jvm_.callsOf("GetStringUTFChars"), Texts{"GetStringUTFChars [IS1INFO]"});
  EXPECT_EQ(jvm_.liveGlobalRefs(), 0u);
  Sleep(100);
  EXPECT_EQ(scale_.log().size(), 0u);
}

TEST_F(PondrexJava, FailedRegistrationsKeepTheEarlierBinding) {
  setCallBack("IS1INFO", "host/ScaleEvents");
  setCallBack("SENSORINFO", "host/ScaleEvents");
  struct Case {
    const char *name;
    const char *className;
    Texts calls; // of FindClass, GetMethodID, AllocObject and ExceptionClear
  };
  const Case cases[] = {
      {"WEIGHT", "host/ScaleEvents", {}},
      {"IS1INFO", "host/Missing", {"FindClass host/Missing", "ExceptionClear"}},
      {"SENSORINFO",
       "host/Is1OnlyEvents",
       {"FindClass host/Is1OnlyEvents", "GetMethodID host/Is1OnlyEvents " + SensorInfo, "ExceptionClear"}},
      {"IS1INFO",
       "host/AbstractEvents",
       {"FindClass host/AbstractEvents", "GetMethodID host/AbstractEvents " + Is1Info,
        "AllocObject host/AbstractEvents", "ExceptionClear"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.className);
    jvm_.clearCalls();
    setCallBack(c.name, c.className);
    Texts calls;
    for (const std::string &call : jvm_.calls())
      if (call.rfind("FindClass", 0) == 0 || call.rfind("GetMethodID", 0) == 0 ||
          call.rfind("AllocObject", 0) == 0 || call == "ExceptionClear")
        calls.push_back(call);
    EXPECT_EQ(calls, c.calls);
    EXPECT_FALSE(jvm_.exceptionPending());
    EXPECT_EQ(jvm_.liveGlobalRefs(), 2u);
    EXPECT_EQ(jvm_.liveLibraryLocals(), 0u);
  }

  scale_.is1Text('S', ' ', "  1.25", "kg");
  jvm_.clearCalls();
  EXPECT_TRUE(open());
  scale_.push(scale_.frame(0x83000000, Measurement));
  EXPECT_EQ(pumpUntil(2), 2u);
  EXPECT_EQ(jvm_.javaCalls(), (Texts{WeightCall, MeasurementCall}));
}

TEST_F(PondrexJava, AThrowingCallbackIsClearedAndTheNextCallWorks) {
  setCallBack("IS1INFO", "host/ThrowingEvents");
  scale_.is1Text('S', ' ', "  1.25", "kg");
  jvm_.clearCalls();
  EXPECT_TRUE(open());
  scale_.is1Off();
  EXPECT_EQ(jvm_.javaCalls(), Texts{"host/ThrowingEvents.IS1INFO [S] [ ] [  1.25] [kg] 0"});
  EXPECT_EQ(jvm_.callsOf("ExceptionClear").size(), 1u);
  EXPECT_FALSE(jvm_.exceptionPending());
  EXPECT_EQ(text(native("GetWeight")), "S, ,  1.25,kg,0");
}

TEST_F(PondrexJava, RebindingReleasesTheEarlierObjectAndOnUnLoadUnbindsBoth) {
  setCallBack("IS1INFO", "host/ScaleEvents");
  setCallBack("IS1INFO", "host/ScaleEvents");
  EXPECT_EQ(jvm_.callsOf("DeleteGlobalRef"), Texts{"DeleteGlobalRef global host/ScaleEvents"});
  EXPECT_EQ(jvm_.liveGlobalRefs(), 1u);
  setCallBack("SENSORINFO", "host/ScaleEvents");
  EXPECT_EQ(jvm_.liveGlobalRefs(), 2u);

  call("JNI_OnUnLoad", {slotOf(jvm_.vm()), 0});
  EXPECT_EQ(jvm_.liveGlobalRefs(), 0u);

  // Neither method is called any more.
  scale_.is1Text('S', ' ', "  1.25", "kg");
  jvm_.clearCalls();
  EXPECT_TRUE(open());
  scale_.push(scale_.frame(0x83000000, Measurement));
  EXPECT_EQ(pumpUntil(1, 500), 0u);
  EXPECT_EQ(jvm_.callsOf("CallVoidMethodA"), Texts{});
}

} // namespace
