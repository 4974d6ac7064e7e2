#include "PipeText.h"

#include "Utf8Text.h"

namespace tavrel {

std::string ReadChunksUpToNul(const ChunkReader &read, size_t bufferSize) {
  std::string captured;
  std::vector<char> buffer(bufferSize);
  uint32_t count = 0;
  while (read(buffer.data(), static_cast<uint32_t>(bufferSize - 1), count) && count != 0) {
    const std::string_view chunk(buffer.data(), count);
    captured += chunk.substr(0, chunk.find('\0'));
  }
  return captured;
}

std::u16string ReadUtf16Chunks(const ChunkReader &read, size_t bufferSize) {
  std::u16string text;
  std::vector<char> buffer(bufferSize);
  uint32_t count = 0;
  while (read(buffer.data(), static_cast<uint32_t>(bufferSize - 2), count) && count != 0) {
    for (uint32_t i = 0; i + 1 < count; i += 2) {
      const auto low = static_cast<unsigned char>(buffer[i]);
      const auto high = static_cast<unsigned char>(buffer[i + 1]);
      text.push_back(static_cast<char16_t>(low | (high << 8)));
    }
  }
  return text;
}

std::string AnsiBytesToUtf8(std::string_view bytes, const AnsiDecoder &decodeAnsi) {
  return pos::EncodeUtf8(decodeAnsi(bytes));
}

std::u16string EventMessageLines(const std::vector<std::u16string> &messages) {
  std::u16string lines;
  for (const std::u16string &message : messages) {
    lines += message + u"\r\n";
  }
  return lines;
}

} // namespace tavrel
