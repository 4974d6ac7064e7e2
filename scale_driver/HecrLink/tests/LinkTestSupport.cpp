#include "LinkTestSupport.h"

#include <sstream>

namespace pondrex::test {

void PutBigEndian(Bytes &out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes BuildFrame(const TFrameFields &fields) {
  Bytes frame = {fields.Start};
  PutBigEndian(frame, fields.EcrId, 4);
  PutBigEndian(frame, fields.Command, 4);
  frame.push_back(fields.Packet);
  PutBigEndian(frame, static_cast<uint32_t>(fields.Data.size()), 2);
  uint8_t sum = 0;
  for (const uint8_t b : frame)
    sum = static_cast<uint8_t>(sum + b);
  frame.push_back(sum);
  if (!fields.Data.empty()) {
    uint16_t crc = 0;
    for (const uint8_t b : fields.Data) {
      crc = static_cast<uint16_t>(crc ^ (b << 8));
      for (int i = 0; i < 8; ++i)
        crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    frame.insert(frame.end(), fields.Data.begin(), fields.Data.end());
    PutBigEndian(frame, crc, 2);
  }
  return frame;
}

Bytes ScaleFrame(uint32_t command, Bytes data, uint8_t packet) {
  return BuildFrame({.EcrId = TestEcrId, .Command = command, .Packet = packet, .Data = std::move(data)});
}

Bytes Is1Frame(char status, char sign, const std::string &weight6, const std::string &unit2, uint8_t flag) {
  Bytes frame = {0x01, 0x02, static_cast<uint8_t>(status), static_cast<uint8_t>(sign)};
  frame.insert(frame.end(), weight6.begin(), weight6.end());
  frame.insert(frame.end(), unit2.begin(), unit2.end());
  uint8_t bcc = 0;
  for (size_t i = 2; i < frame.size(); ++i)
    bcc = static_cast<uint8_t>(bcc ^ frame[i]);
  frame.push_back(bcc);
  frame.push_back(0x03);
  frame.push_back(0x04);
  frame.push_back(flag);
  return frame;
}

Bytes ExtendedIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2,
                       const TIs1Extension &extension) {
  Bytes frame = Is1Frame(status, sign, weight6, unit2, 0);
  frame.push_back(0x12);
  frame.push_back(12); // decimals, price, total, key and weight AD
  frame.push_back(extension.Decimals);
  PutBigEndian(frame, extension.Price, 4);
  PutBigEndian(frame, extension.Total, 4);
  frame.push_back(extension.Key);
  PutBigEndian(frame, extension.WeightAd, 2);
  frame.push_back(static_cast<uint8_t>(extension.Check));
  frame.push_back(extension.Flag);
  return frame;
}

Bytes ShortIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2) {
  Bytes frame = Is1Frame(status, sign, weight6, unit2, 0);
  frame.pop_back();
  frame.insert(frame.begin(), 0x06);
  return frame;
}

Bytes AdU8Frame(const std::string &version3, uint16_t zeroAd, uint16_t fullAd) {
  Bytes frame = {0x02, 0x02, 0x00, 'U', '8', 0x00, 0x00, 0x00};
  frame.insert(frame.end(), version3.begin(), version3.end());
  PutBigEndian(frame, zeroAd, 2);
  PutBigEndian(frame, fullAd, 2);
  frame.push_back(0x00);
  return frame;
}

Bytes AdU9Frame(uint16_t tareAd, uint16_t zeroAd) {
  Bytes frame = {0x02, 0x02, 0x00, 'U', '9', 0x00, 0x00, 0x00};
  PutBigEndian(frame, tareAd, 2);
  PutBigEndian(frame, zeroAd, 2);
  frame.push_back(0x00);
  return frame;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string Describe(const std::vector<TLinkEvent> &events) {
  std::ostringstream out;
  for (const TLinkEvent &event : events) {
    switch (event.What) {
    case TLinkEvent::Status:
      out << "Status[" << event.Data.size() << "] ";
      break;
    case TLinkEvent::Error:
      out << "Error(" << event.Code << ") ";
      break;
    case TLinkEvent::IS1:
      out << "IS1(" << std::string(event.Text.begin(), event.Text.end()) << "," << event.Code << ") ";
      break;
    }
  }
  return out.str();
}

TLinkHarness::TLinkHarness() {
  LoadScaleCommandTable(link);
  link.SetCommname(u"COM3");
  link.SetBaudRate(9600);
  link.OnStatus = [this](THecrLink &, TPelqoEventArgs &args) {
    events.push_back({TLinkEvent::Status, 0, args.Buffer, {}});
  };
  link.OnError = [this](THecrLink &, int32_t code) { events.push_back({TLinkEvent::Error, code, {}, {}}); };
  link.OnIS1Event = [this](THecrLink &, TIS1 &frame) {
    const std::u16string text =
        frame.status() + u"|" + frame.sign() + u"|" + frame.Weight() + u"|" + frame.AUnit();
    events.push_back({TLinkEvent::IS1, frame.flag(), {}, text});
  };
}

void TLinkHarness::OpenSerial() {
  link.Open();
  ASSERT_TRUE(link.Active());
  ASSERT_TRUE(line.IsOpen());
}

void TLinkHarness::AnswerWith(const Bytes &answer, uint32_t delayMs) {
  line.SetResponder(
      [answer, delayMs](TFakeSerialLine &l, const TWrittenBlock &) { l.Send(answer, delayMs); });
}

std::vector<int32_t> TLinkHarness::Errors() const {
  std::vector<int32_t> codes;
  for (const TLinkEvent &event : events)
    if (event.What == TLinkEvent::Error)
      codes.push_back(event.Code);
  return codes;
}

size_t TLinkHarness::CountLog(const std::string &text) const {
  size_t count = 0;
  for (const std::string &entry : link.Log().Lines())
    count += entry == text ? 1 : 0;
  return count;
}

std::vector<std::string> TLinkHarness::LogLines() const {
  return {link.Log().Lines().begin(), link.Log().Lines().end()};
}

} // namespace pondrex::test
