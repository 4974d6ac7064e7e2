// What the command runner makes of the bytes it reads from a pipe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

// Reads at most `capacity` bytes into `buffer`; false when the read fails,
// true with the count (0 at the end of the data) otherwise.
using ChunkReader = std::function<bool(char *buffer, uint32_t capacity, uint32_t &bytesRead)>;

// Reads chunks of up to bufferSize - 1 bytes until a read fails or gives 0
// bytes, and keeps each chunk up to its first NUL byte (the rest of that
// chunk is dropped, the next chunk is kept again).
std::string ReadChunksUpToNul(const ChunkReader &read, size_t bufferSize);

// Reads chunks of up to bufferSize - 2 bytes the same way and takes each as
// UTF-16 (little-endian) code units; an odd last byte of a chunk is dropped.
std::u16string ReadUtf16Chunks(const ChunkReader &read, size_t bufferSize);

// Decodes text in the system's ANSI code page.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;

// Captured bytes taken in the ANSI code page, whatever the child wrote in,
// and handed on as UTF-8.
std::string AnsiBytesToUtf8(std::string_view bytes, const AnsiDecoder &decodeAnsi);

// The messages of the WMI event query, each followed by CR LF.
std::u16string EventMessageLines(const std::vector<std::u16string> &messages);

} // namespace tavrel
