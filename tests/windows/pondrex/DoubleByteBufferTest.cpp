// Pondrex.dll in a process whose system code page is double-byte (936): a
// weight text of 34 characters can then take far more than the 35 bytes that
// GetWeightEx promises to write. The copy must stop within the buffer and
// between two characters. The test runs with a Chinese locale, which gives
// the process that code page.
#include "PeerClient.h"
#include "Pondrex.h"
#include "PondrexExports.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::ScaleClient;
using pos::test::slotOf;
using Bytes = std::vector<uint8_t>;

// A 32-byte weight frame (byte 16 is 0x12) that is not extended: status
// 'S', sign ' ', weight "  1.2", then a unit of 19 characters: 0xB0 (the
// degree sign, two bytes in code page 936) except one 0x12 at offset 16;
// the block check, 03 04 and the flag 200. Its text is 33 characters.
Bytes longWeightFrame() {
  Bytes frame = {0x01, 0x02, 'S', ' ', ' ', ' ', '1', '.', '2'};
  while (frame.size() < 28) {
    frame.push_back(frame.size() == 16 ? 0x12 : 0xB0);
  }
  uint8_t check = 0;
  for (size_t i = 2; i < 28; ++i) {
    check ^= frame[i];
  }
  frame.insert(frame.end(), {check, 0x03, 0x04, 200});
  return frame;
}

std::string systemBytes(const std::wstring &text) {
  char bytes[256] = {};
  const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes,
                                         sizeof bytes, nullptr, nullptr);
  return std::string(bytes, static_cast<size_t>(length));
}

TEST(PondrexDoubleByteCodePage, WeightTextIsCutWithinTheBufferBetweenCharacters) {
  ASSERT_EQ(GetACP(), 936u) << "the test needs the Chinese locale of its test entry";
  ScaleClient scale;
  scale.reset();
  LoadedModule dll(L"Pondrex.dll");
  ASSERT_TRUE(dll.loaded()) << dll.loadError();
  PondrexExports pondrex(dll);
  const std::string port = ScaleClient::comPort();
  scale.is1Text('S', ' ', "  0.00", "kg");
  ASSERT_EQ(pondrex.result("__Open", {slotOf(port.c_str()), 9600}), -1);
  pondrex.call("GetWeight"); // the open's weight text

  scale.push(longWeightFrame());
  std::array<char, 16 + PONDREX_WEIGHT_BUFFER_SIZE + 16> memory;
  memory.fill('\xCC');
  char *buffer = memory.data() + 16;
  EXPECT_EQ(pondrex.result("GetWeightEx", {slotOf(buffer)}), -1);

  // "S, ,  1.2," takes 10 bytes, seven degree signs 14, the 0x12 one; four
  // more degree signs make 33 bytes, and a fifth would not fit beside the
  // zero byte in 35.
  const std::wstring kept = L"S, ,  1.2," + std::wstring(7, L'\u00B0') + L'\x12' + std::wstring(4, L'\u00B0');
  const std::string expected = systemBytes(kept);
  ASSERT_EQ(expected.size(), 33u);
  EXPECT_EQ(std::string(buffer, 34), expected + '\0');
  for (size_t i = 0; i < memory.size(); ++i) {
    if (i < 16 || i >= 16 + 34) {
      EXPECT_EQ(memory[i], '\xCC') << "byte " << i;
    }
  }
  pondrex.call("CloseDevice");
  EXPECT_TRUE(pondrex.faults().empty());
}

} // namespace
