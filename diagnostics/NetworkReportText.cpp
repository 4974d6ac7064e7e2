#include "NetworkReportText.h"

namespace tavrel {
namespace {

constexpr char16_t LineEnd[] = u"\r\n";

struct StateTest {
  std::uint32_t anyOf;
  const char16_t *message;
};

// Tested in this order; every test that holds writes its message.
constexpr StateTest StateTests[] = {
    {0x40, u"本地系统具有与 Internet 的有效连接，但它当前可能已连接，也可能未连接。。"},
    {0x02, u"本地系统使用局域网连接到 Internet。"},
    {0x08, u"不再使用。"},
    {0x20, u"本地系统处于脱机模式。"},
    {0x5F, u"代理设置已更改。"},
    {0x04, u"代理设置已更改。"},
    {0x200, u"本地系统使用代理服务器连接到 Internet。"},
    {0x10, u"本地系统已安装 RAS。"},
};

std::u16string Decimal(int value) {
  const std::string narrow = std::to_string(value);
  return std::u16string(narrow.begin(), narrow.end());
}

int CountSuccesses(NetworkAccess &network, const ProbeEndpoint &endpoint) {
  int successes = 0;
  for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
    if (network.CheckConnection(endpoint.address) && network.ProbeHttpPost(endpoint.host)) {
      ++successes;
    }
  }
  return successes;
}

} // namespace

void AppendConnectedStateLines(std::u16string &out, std::uint32_t flags) {
  for (const StateTest &test : StateTests) {
    if ((flags & test.anyOf) != 0) {
      out.append(test.message);
      out.append(LineEnd);
    }
  }
}

std::u16string BuildNetworkReportText(NetworkAccess &network, const ProbeEndpoint &publicSite,
                                      const ProbeEndpoint &vendorService) {
  std::u16string text;
  if (const std::optional<std::uint32_t> flags = network.ConnectedState()) {
    text.append(u"网络连接正常。\r\n");
    AppendConnectedStateLines(text, *flags);
  } else {
    text.append(u"无法确定网络连接状态。\r\n");
  }

  const int publicSuccesses = CountSuccesses(network, publicSite);
  text += u"链接百度" + Decimal(ProbeAttempts) + u"次，成功了" + Decimal(publicSuccesses) + u"次。" + LineEnd;

  const int vendorSuccesses = CountSuccesses(network, vendorService);
  // Host names are ASCII, so each byte widens to one character.
  const std::u16string host(vendorService.host.begin(), vendorService.host.end());
  text += u"链接 " + host + u" " + Decimal(ProbeAttempts) + u"次，成功了" + Decimal(vendorSuccesses) +
          u"次。" + LineEnd;
  return text;
}

} // namespace tavrel
