// The WMI queries against Wine's WMI, the values they read, the processor
// sampler and the HTTP POST probe against loopback stand-ins.
#include "Connectivity.h"
#include "CpuLoad.h"
#include "LoopbackHttpServer.h"
#include "ProbeEndpoints.h"
#include "WmiQueries.h"
#include "WmiStatus.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace tavrel {
namespace {

// What the code under test writes to std::cerr while it lives.
class CapturedStandardError {
public:
  CapturedStandardError() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~CapturedStandardError() { std::cerr.rdbuf(previous_); }
  std::string Text() const { return text_.str(); }

private:
  std::ostringstream text_;
  std::streambuf *previous_;
};

bool StartsWith(const std::string &text, const char *prefix) {
  return text.rfind(prefix, 0) == 0;
}

// A failed query writes one of its English lines; a query that ran writes none.
bool IsWmiFailureLine(const std::string &text) {
  for (const char *message :
       {ComInitFailed, SecurityInitFailed, LocatorFailed, ConnectFailed, ProxyBlanketFailed, QueryFailed}) {
    if (StartsWith(text, message) && text.back() == '\n' && text.find('\n') == text.size() - 1) {
      return true;
    }
  }
  return false;
}

const std::u16string kPrinterSeparator =
    std::u16string(21, u'-') + u" 打印机分隔线" + std::u16string(39, u'-') + u"\n";

TEST(WmiValues, EachValueIsReadOnlyAsTheTypeItHolds) {
  VARIANT value;
  VariantInit(&value);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadWmiValue(value))); // VT_EMPTY
  V_VT(&value) = VT_NULL;
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadWmiValue(value)));
  V_VT(&value) = VT_I4;
  V_I4(&value) = -1; // an unsigned 32-bit property as WMI delivers it
  EXPECT_EQ(UnsignedText(ReadWmiValue(value)), u"4294967295");
  V_VT(&value) = VT_UI1;
  V_UI1(&value) = 200;
  EXPECT_EQ(UnsignedText(ReadWmiValue(value)), u"200");
  V_VT(&value) = VT_BOOL;
  V_BOOL(&value) = VARIANT_TRUE;
  EXPECT_TRUE(IsTrue(ReadWmiValue(value)));
  V_VT(&value) = VT_R8;
  V_R8(&value) = 12.0;
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadWmiValue(value)));
  EXPECT_EQ(VariantToText(value), u"");
  V_VT(&value) = VT_BSTR;
  V_BSTR(&value) = nullptr;
  EXPECT_EQ(VariantToText(value), u"");
  EXPECT_EQ(TextOf(ReadWmiValue(value)), u"");
  V_BSTR(&value) = AnsiToBstr("HP LaserJet");
  EXPECT_EQ(VariantToText(value), u"HP LaserJet");
  EXPECT_EQ(TextOf(ReadWmiValue(value)), u"HP LaserJet");
  VariantClear(&value);
}

TEST(WmiValues, BstrHelpers) {
  BSTR space = AnsiToBstr("ROOT\\CIMV2");
  ASSERT_NE(space, nullptr);
  EXPECT_EQ(std::wstring(space, SysStringLen(space)), L"ROOT\\CIMV2");
  EXPECT_FALSE(IsBstrEmpty(space));
  SysFreeString(space);
  BSTR empty = AnsiToBstr("");
  EXPECT_TRUE(IsBstrEmpty(empty));
  SysFreeString(empty);
  EXPECT_TRUE(IsBstrEmpty(nullptr));
}

// Each query gives its blocks, or its placeholder with an English line on
// standard error; a second round in the same process works as the first.
TEST(WmiQueries, AgainstTheSystemsWmi) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    {
      CapturedStandardError errors;
      const std::u16string printers = QueryPrinters();
      if (printers == u" ") {
        EXPECT_TRUE(IsWmiFailureLine(errors.Text())) << errors.Text();
      } else {
        EXPECT_EQ(errors.Text(), "");
        EXPECT_TRUE(printers.empty() || printers.rfind(kPrinterSeparator, 0) == 0);
      }
    }
    {
      CapturedStandardError errors;
      const std::u16string jobs = QueryPrintJobs();
      if (jobs == u" ") {
        EXPECT_TRUE(IsWmiFailureLine(errors.Text())) << errors.Text();
      } else {
        EXPECT_EQ(errors.Text(), "");
        EXPECT_TRUE(jobs.empty() || jobs.substr(jobs.size() - 2) == u"\r\n");
      }
    }
    {
      CapturedStandardError errors;
      const double load = QueryCpuLoadPercentage();
      EXPECT_TRUE(load == -1 || (load >= 0 && load <= 100)) << load;
      EXPECT_TRUE(errors.Text().empty() || (load == -1 && IsWmiFailureLine(errors.Text()))) << errors.Text();
    }
    {
      CapturedStandardError errors;
      const std::u16string controllers = QueryVideoControllers();
      if (controllers == u" ") {
        EXPECT_TRUE(IsWmiFailureLine(errors.Text())) << errors.Text();
      } else {
        EXPECT_EQ(errors.Text(), "");
        EXPECT_EQ(controllers.rfind(u"GPU", 0), 0u);
      }
    }
  }
}

// A thread whose COM is set up for another apartment cannot run a query:
// each one reports the failed COM set-up and gives its placeholder.
TEST(WmiQueries, FailedComSetUpGivesThePlaceholders) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const std::string line = "Failed to initialize COM library. Error code = -2147417850\n";
  {
    CapturedStandardError errors;
    EXPECT_EQ(QueryPrinters(), u" ");
    EXPECT_EQ(errors.Text(), line);
  }
  {
    CapturedStandardError errors;
    EXPECT_EQ(QueryPrintJobs(), u" ");
    EXPECT_EQ(QueryCpuLoadPercentage(), -1);
    EXPECT_EQ(QueryVideoControllers(), u" ");
    EXPECT_EQ(errors.Text(), line + line + line);
  }
  EXPECT_EQ(BuildCpuLoadText(), u"-1");
  CoUninitialize();
}

TEST(CpuSampler, SampleAndSummary) {
  const double sample = SampleProcessorTime();
  EXPECT_TRUE(sample == -1 || (sample >= 0 && sample <= 100)) << sample;
  const std::u16string summary = BuildCpuUsageSummary();
  EXPECT_EQ(summary.rfind(u"Current CPU Usage: ", 0), 0u);
  EXPECT_NE(summary.find(u"%, Average CPU Usage (last 10 minutes): "), std::u16string::npos);
  EXPECT_EQ(summary.substr(summary.size() - 3), u"%\r\n");
}

// The POST probe counts any answer with a body, an error page included.
TEST(HttpPostProbe, AnswersThatCount) {
  using Mode = test::LoopbackHttpServer::Mode;
  constexpr const char *kHost = "127.0.0.1";
  test::LoopbackHttpServer server(kHost, probe_settings::ProbeHttpPort, Mode::Answer);
  ASSERT_TRUE(server.Listening());
  const struct {
    Mode mode;
    bool counts;
  } cases[] = {{Mode::Answer, true}, {Mode::ErrorPage, true}, {Mode::EmptyBody, false}};
  int requests = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    server.SetMode(c.mode);
    EXPECT_EQ(ProbeHttpPost(kHost), c.counts);
    EXPECT_EQ(server.Requests(), ++requests);
  }
}

// A host that keeps connections open for further requests: a probe that
// closed its handles leaves at most the one connection that WinINet keeps
// for reuse, where every handle left open would hold a connection of its own.
TEST(HttpPostProbe, ClosesWhatItOpened) {
  constexpr const char *kHost = "127.0.0.1";
  test::LoopbackHttpServer server(kHost, probe_settings::ProbeHttpPort,
                                  test::LoopbackHttpServer::Mode::KeepAlive);
  ASSERT_TRUE(server.Listening());
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(ProbeHttpPost(kHost));
  }
  EXPECT_EQ(server.Requests(), 5);
  EXPECT_LE(server.OpenConnections(), 1);
}

// Nobody listens on the probe port: the tests that put a server there run
// one at a time, and this one has none.
TEST(HttpPostProbe, NobodyListening) {
  EXPECT_FALSE(ProbeHttpPost("127.0.0.1"));
}

} // namespace
} // namespace tavrel
