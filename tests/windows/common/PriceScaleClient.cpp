#include "PriceScaleClient.h"

#include <cstdio>

namespace pos::test {

namespace {
std::string byteWord(uint8_t byte) {
  char word[3];
  std::snprintf(word, sizeof word, "%02x", byte);
  return word;
}
} // namespace

void PriceScaleClient::resetBoth() {
  reset();
  expect("PRICE RESET", "OK");
}

void PriceScaleClient::priceOn(uint8_t byte, const std::vector<std::string> &replies) {
  std::string command = "PRICE ON " + byteWord(byte);
  for (const std::string &reply : replies) {
    command += " " + reply;
  }
  expect(command, "OK");
}

void PriceScaleClient::priceDefault(uint8_t byte) {
  expect("PRICE ON " + byteWord(byte) + " DEFAULT", "OK");
}

void PriceScaleClient::priceBefore(uint8_t byte, const std::vector<uint8_t> &bytes) {
  expect("PRICE BEFORE " + byteWord(byte) + " " + (bytes.empty() ? std::string("OFF") : toHex(bytes)), "OK");
}

void PriceScaleClient::setTable(const std::vector<uint8_t> &table) {
  expect("PRICE TABLE " + toHex(table), "TABLE");
}

std::vector<uint8_t> PriceScaleClient::table() {
  return fromHex(expect("PRICE TABLE", "TABLE"));
}

std::vector<ScaleLogEntry> PriceScaleClient::priceLog(size_t atLeast, uint32_t timeoutMs) {
  return logOf("PRICE LOG", atLeast, timeoutMs);
}

} // namespace pos::test
