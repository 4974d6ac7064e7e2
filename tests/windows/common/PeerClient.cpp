#include "PeerClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace pos::test {

namespace {
std::string environment(const char *name) {
  const char *value = std::getenv(name);
  if (value == nullptr) {
    throw std::runtime_error(std::string(name) + " is not set: run the test through ptypeer.py");
  }
  return value;
}

std::string afterWord(const std::string &reply, const std::string &word) {
  if (reply.rfind(word, 0) != 0) {
    throw std::runtime_error("peer answered: " + reply);
  }
  return reply.size() > word.size() ? reply.substr(word.size() + 1) : std::string();
}
} // namespace

std::vector<uint8_t> fromHex(const std::string &hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string toHex(const std::vector<uint8_t> &bytes) {
  std::string hex;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

PeerClient::PeerClient() : socket_(INVALID_SOCKET) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    throw std::runtime_error("WSAStartup failed");
  }
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(std::stoi(environment("POS_PEER_PORT"))));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s == INVALID_SOCKET || ::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    if (s != INVALID_SOCKET) {
      closesocket(s);
    }
    WSACleanup();
    throw std::runtime_error("cannot reach the device peer");
  }
  socket_ = s;
}

PeerClient::~PeerClient() {
  closesocket(static_cast<SOCKET>(socket_));
  WSACleanup();
}

std::string PeerClient::comPort() { return environment("POS_COM_PORT"); }

std::string PeerClient::call(const std::string &command) {
  std::string line = command + "\n";
  const char *p = line.data();
  int left = static_cast<int>(line.size());
  while (left > 0) {
    int sent = ::send(static_cast<SOCKET>(socket_), p, left, 0);
    if (sent <= 0) {
      throw std::runtime_error("lost the device peer");
    }
    p += sent;
    left -= sent;
  }
  for (;;) {
    size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string reply = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return reply;
    }
    char buffer[4096];
    int got = ::recv(static_cast<SOCKET>(socket_), buffer, sizeof buffer, 0);
    if (got <= 0) {
      throw std::runtime_error("lost the device peer");
    }
    pending_.append(buffer, static_cast<size_t>(got));
  }
}

void PeerClient::send(const std::vector<uint8_t> &bytes) { afterWord(call("SEND " + toHex(bytes)), "OK"); }

std::vector<uint8_t> PeerClient::receive(size_t count, uint32_t timeoutMs) {
  return fromHex(afterWord(call("RECV " + std::to_string(count) + " " + std::to_string(timeoutMs)), "DATA"));
}

std::vector<uint8_t> PeerClient::takeAll() { return fromHex(afterWord(call("TAKE"), "DATA")); }

LineSettings PeerClient::line() {
  std::istringstream in(afterWord(call("LINE"), "LINE"));
  LineSettings settings;
  in >> settings.baud >> settings.dataBits >> settings.parity >> settings.stopBits;
  return settings;
}

std::vector<uint32_t> PeerClient::rates() {
  std::istringstream in(afterWord(call("RATES"), "RATES"));
  std::vector<uint32_t> result;
  uint32_t rate;
  while (in >> rate) {
    result.push_back(rate);
  }
  return result;
}

void PeerClient::clear() { afterWord(call("CLEAR"), "OK"); }

} // namespace pos::test
