// Pondrex.dll as a host sees it: loaded by file name, its text self-test
// exports bound by their undecorated names and called as stdcall.
#include "LoadedModule.h"
#include "Pondrex.h"
#include "StdcallProbe.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using pos::test::callStdcall;
using pos::test::LoadedModule;
using pos::test::slotOf;

std::wstring folderOf(const std::wstring &path) {
  return path.substr(0, path.find_last_of(L"\\/"));
}

class PondrexTextSelfTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_.loadError();
    // The copy beside this program, not some other Pondrex.dll on the path.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_EQ(folderOf(dll_.path()), folderOf(self));
    getUtf8_ = dll_.symbol("__GetUTF8");
    getUtf8Ex_ = dll_.symbol("__GetUTF8EX");
    ASSERT_NE(getUtf8_, nullptr);
    ASSERT_NE(getUtf8Ex_, nullptr);
  }

  LoadedModule dll_{L"Pondrex.dll"};
  const void *getUtf8_ = nullptr;
  const void *getUtf8Ex_ = nullptr;
};

TEST_F(PondrexTextSelfTest, GetUtf8ReturnsFiveCharactersAndTwoZeroUnits) {
  const std::array<uint16_t, 7> expected = {0x056D, 0x0576, 0x0571, 0x0578, 0x0580, 0x0000, 0x0000};
  for (int call = 0; call < 2; ++call) {
    const auto outcome = callStdcall(getUtf8_);
    EXPECT_TRUE(outcome.balanced()) << "stack moved by " << outcome.stackDelta;
    const auto *text = reinterpret_cast<const uint16_t *>(static_cast<uintptr_t>(outcome.eax));
    ASSERT_NE(text, nullptr);
    std::array<uint16_t, 7> got{};
    std::memcpy(got.data(), text, sizeof(got));
    EXPECT_EQ(got, expected) << "call " << call;
  }
}

TEST_F(PondrexTextSelfTest, GetUtf8ExWritesExactlyTenBytesAndReturnsOneByteTrue) {
  constexpr size_t kGuard = 16;
  constexpr uint8_t kUntouched = 0xCC;
  std::vector<uint8_t> memory(kGuard + PONDREX_UTF8EX_BUFFER_SIZE + kGuard, kUntouched);
  const auto outcome = callStdcall(getUtf8Ex_, {slotOf(memory.data() + kGuard)});
  EXPECT_TRUE(outcome.balanced()) << "stack moved by " << outcome.stackDelta;
  EXPECT_EQ(outcome.eax & 0xFF, 1u);

  std::vector<uint8_t> expected(memory.size(), kUntouched);
  const uint8_t text[PONDREX_UTF8EX_BUFFER_SIZE] = {0x6D, 0x05, 0x76, 0x05, 0x71,
                                                    0x05, 0x78, 0x05, 0x80, 0x05};
  std::memcpy(expected.data() + kGuard, text, sizeof(text));
  EXPECT_EQ(memory, expected);
}

TEST_F(PondrexTextSelfTest, GetUtf8ExWithNullBufferReturnsFalse) {
  const auto outcome = callStdcall(getUtf8Ex_, {0});
  EXPECT_TRUE(outcome.balanced()) << "stack moved by " << outcome.stackDelta;
  EXPECT_EQ(outcome.eax & 0xFF, 0u);
}

} // namespace
