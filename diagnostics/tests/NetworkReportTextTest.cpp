#include "NetworkReportText.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tavrel {
namespace {

const std::u16string Configured =
    u"本地系统具有与 Internet 的有效连接，但它当前可能已连接，也可能未连接。。\r\n";
const std::u16string Lan = u"本地系统使用局域网连接到 Internet。\r\n";
const std::u16string ModemBusy = u"不再使用。\r\n";
const std::u16string Offline = u"本地系统处于脱机模式。\r\n";
const std::u16string ProxyChanged = u"代理设置已更改。\r\n";
const std::u16string ProxyServer = u"本地系统使用代理服务器连接到 Internet。\r\n";
const std::u16string Ras = u"本地系统已安装 RAS。\r\n";

TEST(ConnectedState, OneLinePerTestThatHolds) {
  const struct {
    std::uint32_t flags;
    std::u16string lines;
  } cases[] = {
      {0x00, u""},
      {0x12, Lan + ProxyChanged + Ras},    // a LAN with RAS installed
      {0x04, ProxyChanged + ProxyChanged}, // the proxy bit: the same line twice
      {0x20, Offline},                     // offline alone: no proxy line
      {0x01, ProxyChanged},                // the modem bit has no line of its own
      {0x08, ModemBusy + ProxyChanged},
      {0x40, Configured + ProxyChanged},
      {0x200, ProxyServer},
      {0x27F, Configured + Lan + ModemBusy + Offline + ProxyChanged + ProxyChanged + ProxyServer + Ras},
  };
  for (const auto &c : cases) {
    std::u16string out = u"x";
    AppendConnectedStateLines(out, c.flags);
    EXPECT_EQ(out, u"x" + c.lines) << std::hex << c.flags;
  }
}

// A scripted network: the connected state, and per address or host the
// answers of successive calls (the last one repeats).
class ScriptedNetwork : public NetworkAccess {
public:
  std::optional<std::uint32_t> state;
  std::map<std::u16string, std::vector<bool>> checks;
  std::map<std::string, std::vector<bool>> posts;
  std::vector<std::string> calls;

  std::optional<std::uint32_t> ConnectedState() override {
    calls.push_back("state");
    return state;
  }
  bool CheckConnection(const std::u16string &address) override {
    calls.push_back("check " + std::string(address.begin(), address.end()));
    return Next(checks[address]);
  }
  bool ProbeHttpPost(const std::string &host) override {
    calls.push_back("post " + host);
    return Next(posts[host]);
  }

private:
  static bool Next(std::vector<bool> &answers) {
    if (answers.empty()) {
      return false;
    }
    const bool answer = answers.front();
    if (answers.size() > 1) {
      answers.erase(answers.begin());
    }
    return answer;
  }
};

const ProbeEndpoint Site{u"https://site.test", "site.test"};
const ProbeEndpoint Vendor{u"https://vendor.test/", "vendor.test"};

TEST(NetworkReport, EveryAttemptSucceeds) {
  ScriptedNetwork network;
  network.state = 0x12;
  network.checks = {{Site.address, {true}}, {Vendor.address, {true}}};
  network.posts = {{Site.host, {true}}, {Vendor.host, {true}}};
  EXPECT_EQ(BuildNetworkReportText(network, Site, Vendor), u"网络连接正常。\r\n" + Lan + ProxyChanged + Ras +
                                                               u"链接百度10次，成功了10次。\r\n" +
                                                               u"链接 vendor.test 10次，成功了10次。\r\n");
  // The site's ten attempts come first, each a test followed by its POST.
  ASSERT_EQ(network.calls.size(), 41u);
  EXPECT_EQ(network.calls[1], "check https://site.test");
  EXPECT_EQ(network.calls[2], "post site.test");
  EXPECT_EQ(network.calls[21], "check https://vendor.test/");
  EXPECT_EQ(network.calls[22], "post vendor.test");
}

TEST(NetworkReport, NoStateNoTestNoPostAndEmptyAnswers) {
  ScriptedNetwork network;
  // The site's test fails every time (no POST is sent); the vendor answers
  // its POST with bytes only in three of ten attempts.
  network.checks = {{Site.address, {false}}, {Vendor.address, {true}}};
  network.posts = {{Site.host, {true}},
                   {Vendor.host, {false, true, false, false, true, false, false, false, false, true}}};
  EXPECT_EQ(BuildNetworkReportText(network, Site, Vendor),
            u"无法确定网络连接状态。\r\n链接百度10次，成功了0次。\r\n链接 vendor.test 10次，成功了3次。\r\n");
  for (const std::string &call : network.calls) {
    EXPECT_NE(call, "post site.test");
  }
}

} // namespace
} // namespace tavrel
