// The command runner against the stand-in powershell.exe beside this
// program, which records its command line and writes what a test sets.
#include "win/CommandRunner.h"
#include "CommandLines.h"
#include "TestSupport.h"
#include "TextConversions.h"
#include "win/WmiEventQuery.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <iterator>

namespace {

using namespace tavrel;
using namespace tavrel::test;

std::wstring hex(const std::string &bytes) {
  static const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (unsigned char b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

// The command line the stand-in recorded in `file`.
std::u16string recordedLine(const std::wstring &file) {
  const std::string bytes = ReadBytes(file);
  std::u16string line(bytes.size() / 2, u'\0');
  std::copy(bytes.data(), bytes.data() + line.size() * 2, reinterpret_cast<char *>(line.data()));
  return line;
}

std::vector<uintptr_t> handlesLeft(const std::set<uintptr_t> &before) {
  const std::set<uintptr_t> after = OpenHandles();
  std::vector<uintptr_t> left;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(left));
  return left;
}

// The runner's UTF-8 step gives what the platform's own conversion gives.
TEST(Utf8ToWideString, AgreesWithThePlatformConversion) {
  const std::string samples[] = {"",
                                 "systeminfo: 主机名\r\n",
                                 "\xF0\x9F\x96\xA8 \xC3\xA9",
                                 "bad \xFF byte",
                                 "cut \xE8\xAE",
                                 std::string("nul\0after", 9)};
  for (const std::string &utf8 : samples) {
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    ASSERT_GT(needed, 0);
    std::wstring platform(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, platform.data(), needed);
    platform.resize(platform.find(L'\0'));
    EXPECT_EQ(Utf8ToWideString(utf8), U16(platform)) << utf8;
  }
}

TEST(RunCommandCapture, DecodesTheAnsiCodePageOfTheProcess) {
  struct Case {
    UINT codePage;
    std::string bytes;
    std::u16string text;
  } const cases[] = {
      {1252, "caf\xE9 \x80 5\r\n", u"café € 5\r\n"},
      {936, "\xC4\xE3\xBA\xC3 \xC9\xE8\xB1\xB8\r\n", u"你好 设备\r\n"},
  };
  const UINT codePage = GetACP();
  // The test entry that runs this test in another code page names it.
  if (const wchar_t *expected = _wgetenv(L"TAVREL_EXPECTED_ACP")) {
    ASSERT_EQ(codePage, std::wcstoul(expected, nullptr, 10));
  }
  const auto found =
      std::find_if(std::begin(cases), std::end(cases), [&](const Case &c) { return c.codePage == codePage; });
  ASSERT_NE(found, std::end(cases)) << "no case for code page " << codePage;
  ScopedVariable out(L"TAVREL_STANDIN_STDOUT_HEX", hex(found->bytes));
  EXPECT_EQ(RunCommandCapture(std::u16string(SystemInfoCommandLine)), found->text);
}

TEST(RunCommandCapture, TheChildsStandardErrorIsCapturedToo) {
  ScopedVariable out(L"TAVREL_STANDIN_STDOUT_HEX", hex("out "));
  ScopedVariable err(L"TAVREL_STANDIN_STDERR_HEX", hex("error text"));
  EXPECT_EQ(RunCommandCapture(std::u16string(SystemInfoCommandLine)), u"out error text");
}

TEST(RunCommandCapture, CommandLinesReachTheChildExactly) {
  ScratchFolder folder;
  const std::wstring record = folder.path() + L"\\line.bin";
  ScopedVariable recordTo(L"TAVREL_STANDIN_RECORD", record);

  EXPECT_EQ(QueryErrorEventsViaPowerShell(), u"");
  const std::u16string events = recordedLine(record);
  EXPECT_EQ(events, ErrorEventsCommandLine());
  EXPECT_NE(events.find(u"Application   |"), std::u16string::npos);

  EXPECT_EQ(RunCommandCapture(std::u16string(SystemInfoCommandLine)), u"");
  EXPECT_EQ(recordedLine(record), SystemInfoCommandLine);
}

TEST(RunCommandCapture, EachChunkIsCutAtItsFirstNulByte) {
  ScopedVariable out(L"TAVREL_STANDIN_STDOUT_HEX", hex(std::string("kept\0lost", 9)));
  EXPECT_EQ(RunCommandCapture(std::u16string(SystemInfoCommandLine)), u"kept");
}

TEST(RunCommandCapture, AMissingProgramGivesAnEmptyTextAndAnErrorLineAndLeavesNoHandle) {
  const std::u16string missing = u"tavrel-no-such-program.exe -Command systeminfo";
  RunCommandCapture(missing); // anything the first failed start sets up for good
  const std::set<uintptr_t> before = OpenHandles();
  StderrCapture stderrCapture;
  const std::u16string text = RunCommandCapture(missing);
  const std::string written = stderrCapture.finish();
  EXPECT_EQ(text, u"");
  EXPECT_EQ(written.substr(0, written.find_first_of("\r\n")), "无法执行systeminfo命令");
  EXPECT_NE(written.find('\n'), std::string::npos);
  EXPECT_EQ(handlesLeft(before), std::vector<uintptr_t>{});
}

TEST(RunCommandCapture, ARunLeavesNoHandle) {
  ScopedVariable out(L"TAVREL_STANDIN_STDOUT_HEX", hex("x"));
  RunCommandCapture(std::u16string(SystemInfoCommandLine));
  const std::set<uintptr_t> before = OpenHandles();
  EXPECT_EQ(RunCommandCapture(std::u16string(SystemInfoCommandLine)), u"x");
  EXPECT_EQ(handlesLeft(before), std::vector<uintptr_t>{});
}

TEST(RunCommandAndWait, OutputLargerThanThePipeArrivesWholeAsUtf8) {
  const std::string block = "设备 0123456789\n";
  constexpr int kBlocks = 40000; // about 800 KB
  ScopedVariable out(L"TAVREL_STANDIN_STDOUT_HEX", hex(block));
  ScopedVariable repeat(L"TAVREL_STANDIN_REPEAT", std::to_wstring(kBlocks));
  const std::set<uintptr_t> before = OpenHandles();
  const std::u16string text = RunCommandAndWait(std::u16string(SystemInfoCommandLine));
  std::u16string expected;
  for (int i = 0; i < kBlocks; ++i) {
    expected += u"设备 0123456789\n";
  }
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);
  EXPECT_EQ(handlesLeft(before), std::vector<uintptr_t>{});
}

TEST(RunCommandAndWait, AMissingProgramGivesTheFailureText) {
  EXPECT_EQ(RunCommandAndWait(u"tavrel-no-such-program.exe"), u"CreateProcess failed\n");
}

TEST(ReadPipeAsWide, ReadsUtf16UntilTheWritersAreGone) {
  PipePair pair;
  ASSERT_TRUE(CreateInheritablePipe(pair));
  const std::u16string sent = u"设备 ok";
  DWORD written = 0;
  ASSERT_TRUE(
      WriteFile(pair.writeHandle.get(), sent.data(), static_cast<DWORD>(sent.size() * 2), &written, nullptr));
  pair.writeHandle.reset();
  StderrCapture stderrCapture;
  EXPECT_EQ(ReadPipeAsWide(pair.readHandle.get()), sent);
  EXPECT_EQ(stderrCapture.finish(), "");
}

TEST(ReadPipeAsWide, AFailedReadOtherThanTheEndIsReported) {
  PipePair pair;
  ASSERT_TRUE(CreateInheritablePipe(pair));
  StderrCapture stderrCapture;
  // The write end cannot be read from.
  EXPECT_EQ(ReadPipeAsWide(pair.writeHandle.get()), u"");
  EXPECT_EQ(stderrCapture.finish().rfind("ReadFile failed (", 0), 0u);
}

TEST(QueryEventsViaWmiPowerShell, ANamespaceThatCannotBeReachedGivesAnEmptyTextAndAnErrorLine) {
  StderrCapture stderrCapture;
  const std::u16string text = QueryEventsViaWmiPowerShell();
  const std::string written = stderrCapture.finish();
  EXPECT_EQ(text, u"");
  EXPECT_EQ(written.rfind("Failed to connect to PowerShell.", 0), 0u) << written;
}

} // namespace
