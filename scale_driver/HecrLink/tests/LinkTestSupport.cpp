#include "LinkTestSupport.h"

#include <sstream>

namespace pondrex::test {

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
