#include "BootLoaderClient.h"

#include <stdexcept>

namespace pos::test {

namespace {

std::string bytesWord(const std::vector<uint8_t> &bytes) {
  return bytes.empty() ? "-" : toHex(bytes);
}

std::string replyWords(const BootReply &reply) {
  switch (reply.kind) {
  case BootReply::Kind::Ack:
    return "ACK";
  case BootReply::Kind::Refuse:
    return "REFUSE";
  case BootReply::Kind::Silent:
    return "SILENT";
  case BootReply::Kind::Data:
    return "DATA " + bytesWord(reply.bytes);
  case BootReply::Kind::BadSum:
    return "BADSUM " + bytesWord(reply.bytes);
  case BootReply::Kind::Raw:
    return "RAW " + bytesWord(reply.bytes);
  }
  throw std::logic_error("unknown boot reply kind");
}

} // namespace

void BootLoaderClient::bootReset() {
  expect("BOOT RESET", "OK");
}

void BootLoaderClient::bootAnswerOnlyAt(uint32_t baud) {
  expect("BOOT RATE " + std::to_string(baud), "OK");
}

void BootLoaderClient::bootOn(const std::string &request, const std::vector<BootReply> &replies) {
  std::string command = "BOOT ON " + request;
  for (const BootReply &reply : replies) {
    command += " " + replyWords(reply);
  }
  expect(command, "OK");
}

void BootLoaderClient::bootStatus(const std::vector<uint8_t> &block) {
  expect("BOOT STATUS " + bytesWord(block), "OK");
}

void BootLoaderClient::bootLeave() {
  expect("BOOT LEAVE", "OK");
}

std::vector<ScaleLogEntry> BootLoaderClient::bootLog(size_t atLeast, uint32_t timeoutMs) {
  return logOf("BOOT LOG", atLeast, timeoutMs);
}

} // namespace pos::test
