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

std::string PeerClient::comPort() {
  return environment("POS_COM_PORT");
}

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

std::string PeerClient::expect(const std::string &command, const std::string &word) {
  return afterWord(call(command), word);
}

void PeerClient::send(const std::vector<uint8_t> &bytes) {
  afterWord(call("SEND " + toHex(bytes)), "OK");
}

std::vector<uint8_t> PeerClient::receive(size_t count, uint32_t timeoutMs) {
  return fromHex(afterWord(call("RECV " + std::to_string(count) + " " + std::to_string(timeoutMs)), "DATA"));
}

std::vector<uint8_t> PeerClient::takeAll() {
  return fromHex(afterWord(call("TAKE"), "DATA"));
}

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

void PeerClient::clear() {
  afterWord(call("CLEAR"), "OK");
}

} // namespace pos::test

namespace pos::test {

namespace {
// Bytes as the scale commands take them: hex, or "-" for none.
std::string bytesWord(const std::vector<uint8_t> &bytes) {
  return bytes.empty() ? "-" : toHex(bytes);
}

std::string codeWord(uint32_t code) {
  char word[9];
  std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(code));
  return word;
}

// A field of an IS1 frame as one word of a command: blanks become '_'.
std::string fieldWord(std::string text) {
  for (char &c : text) {
    if (c == ' ') {
      c = '_';
    }
  }
  return text;
}

std::string replyWords(const ScaleReply &reply) {
  if (!reply.first.empty()) {
    ScaleReply plain = reply;
    plain.first.clear();
    return "FIRST " + bytesWord(reply.first) + " " + replyWords(plain);
  }
  switch (reply.kind) {
  case ScaleReply::Kind::Ack:
    return "ACK";
  case ScaleReply::Kind::Refuse:
    return "REFUSE " + std::to_string(reply.code);
  case ScaleReply::Kind::Silent:
    return "SILENT";
  case ScaleReply::Kind::Data:
    return "DATA " + bytesWord(reply.data);
  }
  throw std::logic_error("unknown scale reply kind");
}

ScaleLogEntry parseLogEntry(const std::string &text) {
  size_t first = text.find(':');
  size_t second = text.find(':', first + 1);
  size_t third = text.find(':', second + 1);
  if (third == std::string::npos) {
    throw std::runtime_error("malformed scale log entry: " + text);
  }
  ScaleLogEntry entry;
  entry.timeMs = static_cast<uint32_t>(std::stoul(text.substr(0, first)));
  entry.baud = static_cast<uint32_t>(std::stoul(text.substr(first + 1, second - first - 1)));
  entry.kind = text.substr(second + 1, third - second - 1);
  entry.bytes = fromHex(text.substr(third + 1));
  return entry;
}
} // namespace

void ScaleClient::reset() {
  afterWord(call("SCALE RESET"), "OK");
}

void ScaleClient::setId(uint32_t ecrId) {
  afterWord(call("SCALE ID " + std::to_string(ecrId)), "OK");
}

void ScaleClient::answerOnlyAt(uint32_t baud) {
  afterWord(call("SCALE RATE " + std::to_string(baud)), "OK");
}

void ScaleClient::answerAtAnyRate() {
  afterWord(call("SCALE RATE ANY"), "OK");
}

void ScaleClient::on(uint32_t code, const std::vector<ScaleReply> &replies) {
  std::string command = "SCALE ON " + codeWord(code);
  for (const ScaleReply &reply : replies) {
    command += " " + replyWords(reply);
  }
  afterWord(call(command), "OK");
}

void ScaleClient::defaultReply(uint32_t code) {
  afterWord(call("SCALE ON " + codeWord(code) + " DEFAULT"), "OK");
}

void ScaleClient::is1(const std::vector<uint8_t> &bytes) {
  afterWord(call("SCALE IS1 " + bytesWord(bytes)), "OK");
}

void ScaleClient::is1Off() {
  afterWord(call("SCALE IS1 OFF"), "OK");
}

std::vector<uint8_t> ScaleClient::is1Text(char status, char sign, const std::string &weight,
                                          const std::string &unit, uint8_t flag) {
  char flagWord[3];
  std::snprintf(flagWord, sizeof flagWord, "%02x", flag);
  return fromHex(afterWord(call("SCALE IS1TEXT " + fieldWord(std::string(1, status)) + " " +
                                fieldWord(std::string(1, sign)) + " " + fieldWord(weight) + " " +
                                fieldWord(unit) + " " + flagWord),
                           "IS1"));
}

void ScaleClient::echo(bool on) {
  afterWord(call(on ? "SCALE ECHO ON" : "SCALE ECHO OFF"), "OK");
}

void ScaleClient::reply(const std::vector<uint8_t> &request, const std::vector<uint8_t> &answer) {
  afterWord(call("SCALE REPLY " + toHex(request) + " " + bytesWord(answer)), "OK");
}

void ScaleClient::noReply(const std::vector<uint8_t> &request) {
  afterWord(call("SCALE REPLY " + toHex(request) + " OFF"), "OK");
}

void ScaleClient::push(const std::vector<uint8_t> &bytes) {
  afterWord(call("SCALE PUSH " + bytesWord(bytes)), "OK");
}

void ScaleClient::stream(uint32_t count, uint32_t intervalMs) {
  afterWord(call("SCALE STREAM " + std::to_string(count) + " " + std::to_string(intervalMs)), "OK");
}

std::vector<uint8_t> ScaleClient::frame(uint32_t code, const std::vector<uint8_t> &data, uint8_t packet) {
  return fromHex(afterWord(
      call("SCALE FRAME " + codeWord(code) + " " + bytesWord(data) + " " + std::to_string(packet)), "FRAME"));
}

std::vector<ScaleLogEntry> ScaleClient::log(size_t atLeast, uint32_t timeoutMs) {
  return logOf("SCALE LOG", atLeast, timeoutMs);
}

std::vector<ScaleLogEntry> ScaleClient::logOf(const std::string &command, size_t atLeast,
                                              uint32_t timeoutMs) {
  std::string entries =
      afterWord(call(command + " " + std::to_string(atLeast) + " " + std::to_string(timeoutMs)), "LOG");
  std::vector<ScaleLogEntry> result;
  size_t start = 0;
  while (start < entries.size()) {
    size_t end = entries.find(';', start);
    if (end == std::string::npos) {
      end = entries.size();
    }
    result.push_back(parseLogEntry(entries.substr(start, end - start)));
    start = end + 1;
  }
  return result;
}

} // namespace pos::test
