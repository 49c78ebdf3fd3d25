#include "intranet_rules.h"

#include <string>

namespace kvo::connect {

std::u16string ProxyWithDefaultPort(const std::u16string& proxy, int defaultPort) {
    if (proxy.empty() || proxy.find(u':') != std::u16string::npos)
        return proxy;
    std::string port = std::to_string(defaultPort);
    return proxy + u":" + std::u16string(port.begin(), port.end());
}

bool FinishIntranetWizard(CIntranetSettings& s) {
    s.proxy_http = ProxyWithDefaultPort(s.proxy_http, kHttpProxyPort);
    s.proxy_wap = ProxyWithDefaultPort(s.proxy_wap, kWapProxyPort);
    s.proxy_socks = ProxyWithDefaultPort(s.proxy_socks, kSocksProxyPort);
    return s.user.empty();
}

}  // namespace kvo::connect
