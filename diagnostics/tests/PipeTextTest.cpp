#include "PipeText.h"
#include "CommandLines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

namespace {

using namespace tavrel;

// A pipe that hands out scripted reads: each step is the bytes of one read,
// or a failure. After the last step every read fails.
class ScriptedPipe {
public:
  struct Step {
    bool ok;
    std::string bytes;
  };
  explicit ScriptedPipe(std::deque<Step> steps) : steps_(std::move(steps)) {}

  ChunkReader reader() {
    return [this](char *buffer, uint32_t capacity, uint32_t &count) {
      capacities.push_back(capacity);
      if (steps_.empty()) {
        return false;
      }
      Step step = steps_.front();
      steps_.pop_front();
      count = 0;
      if (!step.ok) {
        return false;
      }
      EXPECT_LE(step.bytes.size(), capacity);
      std::memcpy(buffer, step.bytes.data(), step.bytes.size());
      count = static_cast<uint32_t>(step.bytes.size());
      return true;
    };
  }
  std::vector<uint32_t> capacities;

private:
  std::deque<Step> steps_;
};

TEST(ReadChunksUpToNul, KeepsEachChunkUpToItsFirstNul) {
  ScriptedPipe pipe(
      {{true, "abc"}, {true, std::string("de\0lost", 7)}, {true, "fg"}, {false, ""}, {true, "late"}});
  EXPECT_EQ(ReadChunksUpToNul(pipe.reader(), 4096), "abcdefg");
  EXPECT_EQ(pipe.capacities, (std::vector<uint32_t>{4095, 4095, 4095, 4095}));
}

TEST(ReadChunksUpToNul, StopsAtAReadOfNoBytes) {
  ScriptedPipe pipe({{true, "x"}, {true, ""}, {true, "after"}});
  EXPECT_EQ(ReadChunksUpToNul(pipe.reader(), 1024), "x");
  EXPECT_EQ(pipe.capacities, (std::vector<uint32_t>{1023, 1023}));
}

TEST(ReadChunksUpToNul, NothingWrittenGivesAnEmptyText) {
  ScriptedPipe pipe({});
  EXPECT_EQ(ReadChunksUpToNul(pipe.reader(), 4096), "");
}

TEST(ReadUtf16Chunks, TakesBytePairsAsLittleEndianUnitsAndDropsAnOddLastByte) {
  ScriptedPipe pipe({{true, std::string("a\0\xBE\x8B", 4)}, {true, std::string("b\0c", 3)}, {false, ""}});
  EXPECT_EQ(ReadUtf16Chunks(pipe.reader(), 8192), u"a设b");
  EXPECT_EQ(pipe.capacities.front(), 8190u);
}

TEST(AnsiBytesToUtf8, DecodesInTheAnsiCodePageAndEncodesUtf8) {
  // Stands in for code page 1252's decoder on the bytes the test uses.
  const AnsiDecoder latin = [](std::string_view bytes) {
    std::u16string text;
    for (char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      text.push_back(b == 0x80 ? u'\u20AC' : b);
    }
    return text;
  };
  EXPECT_EQ(AnsiBytesToUtf8("caf\xE9 \x80", latin), "café €");
  EXPECT_EQ(AnsiBytesToUtf8("", latin), "");
}

TEST(CommandLines, SystemInfoAndErrorEventQuery) {
  EXPECT_EQ(SystemInfoCommandLine, u"powershell.exe -Command systeminfo");
  const std::u16string events = ErrorEventsCommandLine();
  EXPECT_EQ(events.size(), 253u);
  EXPECT_EQ(
      events,
      u"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"Get-WinEvent -LogName Application   "
      u"| Where-Object {$_.TimeCreated -gt (Get-Date).AddDays(-1) -and $_.Level -eq 2} "
      u"| Select-Object -Property TaskDisplayName, TimeCreated,Message | Format-List \"");
}

TEST(CommandLines, WmiQueryAndMessageLines) {
  EXPECT_EQ(WmiEventQueryText(),
            u"Get-WinEvent -LogName Application -FilterXPath \"*[System[(Level=2 or Level=3)]]\"");
  EXPECT_EQ(EventMessageLines({u"first", u"", u"third"}), u"first\r\n\r\nthird\r\n");
  EXPECT_EQ(EventMessageLines({}), u"");
}

} // namespace
