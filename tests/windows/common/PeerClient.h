// Client for the control connection of ptypeer.py: lets a Windows test program
// write bytes from the far end of its COM port and see what reached it, and,
// when the far end is the simulated scale (ptypeer.py --device scale), set
// how the scale answers and read what it recognised.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pos::test {

struct LineSettings {
  uint32_t baud = 0;
  int dataBits = 0;
  char parity = '?';
  int stopBits = 0;
};

class PeerClient {
public:
  // Connects to 127.0.0.1 on the port in POS_PEER_PORT; throws std::runtime_error.
  PeerClient();
  ~PeerClient();
  PeerClient(const PeerClient &) = delete;
  PeerClient &operator=(const PeerClient &) = delete;

  // The COM port that the peer mapped (POS_COM_PORT), e.g. "COM9".
  static std::string comPort();

  void send(const std::vector<uint8_t> &bytes);
  // Waits up to timeoutMs for count bytes; returns what arrived, at most count.
  std::vector<uint8_t> receive(size_t count, uint32_t timeoutMs);
  // Every byte received and not yet taken.
  std::vector<uint8_t> takeAll();
  LineSettings line();
  // Baud rate in force for each received chunk, in order, repeats folded.
  std::vector<uint32_t> rates();
  void clear();

protected:
  // Sends one control command and returns the peer's answer line.
  std::string call(const std::string &command);
  // Sends one control command and returns the rest of the answer after
  // word; throws std::runtime_error when the answer does not begin with it.
  std::string expect(const std::string &command, const std::string &word);

private:
  uintptr_t socket_;
  std::string pending_;
};

// How the simulated scale answers one command frame.
struct ScaleReply {
  enum class Kind { Ack, Refuse, Silent, Data };
  Kind kind = Kind::Ack;
  uint16_t code = 0;          // Refuse: the low 16 bits of the 0x800D refusal's command code
  std::vector<uint8_t> data;  // Data: the data of a frame that carries the command's own code
  std::vector<uint8_t> first; // sent just before the answer, in the same write

  static ScaleReply ack() { return {}; }
  static ScaleReply refuse(uint16_t code) { return {Kind::Refuse, code, {}, {}}; }
  static ScaleReply silent() { return {Kind::Silent, 0, {}, {}}; }
  static ScaleReply withData(std::vector<uint8_t> data) { return {Kind::Data, 0, std::move(data), {}}; }
  // This reply with bytes sent just before its answer.
  ScaleReply after(std::vector<uint8_t> bytes) const {
    ScaleReply reply = *this;
    reply.first = std::move(bytes);
    return reply;
  }
};

// One thing the simulated scale recognised on its line.
struct ScaleLogEntry {
  uint32_t timeMs = 0; // since the peer started
  uint32_t baud = 0;   // the line's rate when it was complete
  std::string kind;    // "frame", "badframe" (CRC wrong), "is1req" or "raw"
  std::vector<uint8_t> bytes;
};

// The control connection to the simulated scale; every call throws
// std::runtime_error when the peer refuses it.
class ScaleClient : public PeerClient {
public:
  // Default configuration and an empty log (the peer lives as long as the
  // whole test program, so each test starts with this).
  void reset();
  // ECR ID of the frames the scale builds.
  void setId(uint32_t ecrId);
  // Answer nothing unless the line runs at baud; an acknowledged set-baud
  // command then moves the scale to the rate it names.
  void answerOnlyAt(uint32_t baud);
  void answerAtAnyRate();
  // Replies for the command whose high 16 bits are those of code: one per
  // frame received, the last one repeating. defaultReply() undoes it.
  void on(uint32_t code, const std::vector<ScaleReply> &replies);
  void on(uint32_t code, const ScaleReply &reply) { on(code, std::vector<ScaleReply>{reply}); }
  void defaultReply(uint32_t code);
  // The bytes sent for each weight request (0x11 or 0x05 0x11), or none.
  void is1(const std::vector<uint8_t> &bytes);
  void is1Off();
  // Answers weight requests with the 16-byte IS1 frame of these fields
  // (weight 6 characters, unit 2) and returns that frame.
  std::vector<uint8_t> is1Text(char status, char sign, const std::string &weight, const std::string &unit,
                               uint8_t flag = 0);
  // Echo each part of the handshake ("PELQO", then its 10-byte second part).
  void echo(bool on);
  // Send answer whenever the raw bytes received end with request.
  void reply(const std::vector<uint8_t> &request, const std::vector<uint8_t> &answer);
  void noReply(const std::vector<uint8_t> &request);
  // Sends bytes from the scale now, whatever the rate.
  void push(const std::vector<uint8_t> &bytes);
  // Streams count IS1 weight frames, one every intervalMs from now on, on
  // the peer's own thread: frame n weighs n (six characters, right-aligned,
  // "kg").
  // A new stream or reset() ends it.
  void stream(uint32_t count, uint32_t intervalMs);
  // A frame built with the scale's ECR ID (sent only through push).
  std::vector<uint8_t> frame(uint32_t code, const std::vector<uint8_t> &data = {}, uint8_t packet = 0);
  // What the scale recognised, oldest first, after waiting up to timeoutMs
  // for at least atLeast entries.
  std::vector<ScaleLogEntry> log(size_t atLeast = 0, uint32_t timeoutMs = 0);

protected:
  // The entries of a log command ("SCALE LOG", "PRICE LOG"), after waiting
  // up to timeoutMs for at least atLeast of them.
  std::vector<ScaleLogEntry> logOf(const std::string &command, size_t atLeast, uint32_t timeoutMs);
};

std::vector<uint8_t> fromHex(const std::string &hex);
std::string toHex(const std::vector<uint8_t> &bytes);

} // namespace pos::test
