#include "FtpBusFrames.h"

#include <numeric>

namespace pondrex {

namespace {

uint8_t Sum(std::span<const uint8_t> bytes) {
  return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

void PutHeader(std::vector<uint8_t> &out, uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen) {
  out.push_back(Dt);
  out.push_back(RamAddr);
  out.push_back(static_cast<uint8_t>(RomAddr >> 8));
  out.push_back(static_cast<uint8_t>(RomAddr & 0xFF));
  out.push_back(DataLen);
}

} // namespace

uint8_t CheckByte(std::span<const uint8_t> bytes) {
  return static_cast<uint8_t>(0x100 - Sum(bytes));
}

std::vector<uint8_t> BuildDataFrame(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr,
                                    std::span<const uint8_t> data) {
  std::vector<uint8_t> frame;
  frame.reserve(data.size() + 6);
  PutHeader(frame, Dt, RamAddr, RomAddr, static_cast<uint8_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(CheckByte(frame));
  return frame;
}

std::vector<uint8_t> BuildUploadRequest(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen) {
  std::vector<uint8_t> request;
  PutHeader(request, Dt, RamAddr, RomAddr, DataLen);
  request.push_back(CheckByte(request));
  return request;
}

bool UploadReplyPasses(std::span<const uint8_t> reply, uint8_t dataLen) {
  const size_t checked = size_t{dataLen} + 6; // the five bytes, the data and the check
  return reply.size() >= checked + 1 && Sum(reply.subspan(1, checked)) == 0;
}

} // namespace pondrex
