// The link's log: bounded, written out with CR LF.
#include "TLinkLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace pondrex {
namespace {

TEST(LinkLog, KeepsTheNewestLines) {
  TLinkLog log;
  for (size_t i = 0; i < TLinkLog::MaxLines + 3; ++i)
    log.Add("line " + std::to_string(i));
  ASSERT_EQ(log.Count(), TLinkLog::MaxLines);
  EXPECT_EQ(log.Lines().front(), "line 3");
  EXPECT_EQ(log.Lines().back(), "line " + std::to_string(TLinkLog::MaxLines + 2));
}

TEST(LinkLog, SavesOneLineEachWithCrLf) {
  TLinkLog log;
  log.Add("Send:ab 00 ");
  log.Add("TimeOut");
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "link_log_test.txt";
  ASSERT_TRUE(log.SaveToFile(file));
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Send:ab 00 \r\nTimeOut\r\n");
  in.close();
  std::filesystem::remove(file);
  EXPECT_FALSE(log.SaveToFile(file / "no such folder" / "log.txt"));
}

} // namespace
} // namespace pondrex
