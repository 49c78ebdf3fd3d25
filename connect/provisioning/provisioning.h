// Making Connection Manager use the entry: a destination network of its own, the entry
// registered under the dial-up provider, and the proxies of the intranet settings.
#pragma once
#include <string>

#include "connect/dialup/intranet_settings.h"
#include "platform/guid.h"

namespace kvo::connect {

// The address written, with proxying off, when no HTTP proxy is in use.
inline constexpr char16_t kPlaceholderProxy[] = u"proxy:1850";

// True with the new destination in `destination`; false on a registry failure (the caller
// shows "Access to registers failed.").
bool ProvisionConnection(const std::u16string& entryName, bool intranetMode,
                         const CIntranetSettings& intranet, ce::GUID& destination);

}  // namespace kvo::connect
