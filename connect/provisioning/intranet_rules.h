// What the intranet wizard does with its pages' fields when it finishes.
#pragma once
#include <string>

#include "connect/dialup/intranet_settings.h"

namespace kvo::connect {

inline constexpr int kHttpProxyPort = 80;
inline constexpr int kWapProxyPort = 9201;
inline constexpr int kSocksProxyPort = 1080;

// "host:port" as entered; a text without ":" gets the default port of its kind. Empty stays
// empty.
std::u16string ProxyWithDefaultPort(const std::u16string& proxy, int defaultPort);

// Completes the proxies of finished wizard pages; true when the hint to pick "Intranet" and
// enter a login should be shown (no intranet user name).
bool FinishIntranetWizard(CIntranetSettings& s);

}  // namespace kvo::connect
