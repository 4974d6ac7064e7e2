// The messages by which the component's threads hand work and results to
// each other, and the heap blocks that travel in their lParam.
//
// A block is owned by exactly one side at a time: the sender releases it into
// lParam only when the post succeeded, and the receiver takes it back with
// TakeBlock, so it is freed whether or not anyone reads it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace pondrex {

// To the hidden window: received bytes (wParam length, lParam a
// TReceivedChunk). To the write thread, as a thread message: a block to
// write (wParam length, lParam the block).
constexpr UINT CommDataMessage = WM_USER + 1;
// To the hidden window: a line error, lParam the CE_ bits.
constexpr UINT CommErrorMessage = WM_USER + 2;
// To the hidden window: a thread gave up on the port.
constexpr UINT CommHangupMessage = WM_USER + 3;
// To the hidden window: modem line change, lParam 8 (RLSD) and/or 4 (ring).
constexpr UINT CommModemMessage = WM_USER + 4;
// To the hidden window: the write queue ran empty.
constexpr UINT CommSendEmptyMessage = WM_USER + 5;

// Size of the driver queues and of one read.
constexpr DWORD CommBufferSize = 4096;

using TCommBlock = std::unique_ptr<uint8_t[]>;

// A zero-filled block of size bytes; null when it cannot be allocated.
inline TCommBlock NewCommBlock(size_t size) noexcept {
  try {
    return std::make_unique<uint8_t[]>(size);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}

inline LPARAM BlockParam(const TCommBlock &block) {
  return reinterpret_cast<LPARAM>(block.get());
}

// Takes back the ownership of a block that travelled in a message.
inline TCommBlock TakeBlock(LPARAM param) {
  return TCommBlock(reinterpret_cast<uint8_t *>(param));
}

// A chunk that the read thread read: its number in the order of reading and
// its bytes, with a zero byte after the last.
struct TReceivedChunk {
  uint64_t Number;
  TCommBlock Bytes;
};
using TReceivedChunkPtr = std::unique_ptr<TReceivedChunk>;

inline LPARAM ChunkParam(const TReceivedChunkPtr &chunk) {
  return reinterpret_cast<LPARAM>(chunk.get());
}

// Takes back the ownership of a chunk that travelled in a message.
inline TReceivedChunkPtr TakeReceivedChunk(LPARAM param) {
  return TReceivedChunkPtr(reinterpret_cast<TReceivedChunk *>(param));
}

} // namespace pondrex
