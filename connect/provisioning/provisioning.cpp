#include "provisioning.h"

#include "connect/provisioning/destination_guid.h"
#include "platform/config_xml.h"
#include "platform/connmgr.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo::connect {
namespace {

using ce::RegValue;

void SetSz(ce::RegKey& key, std::u16string_view name, std::u16string_view value) {
    key.values[ce::FoldCase(name)] = {std::u16string(name), RegValue::Sz(value)};
}
void SetDword(ce::RegKey& key, std::u16string_view name, uint32_t value) {
    key.values[ce::FoldCase(name)] = {std::u16string(name), RegValue::Dword(value)};
}
void DeleteKey(ce::RegKey& parent, const std::u16string& name) {
    parent.keys.erase(ce::FoldCase(name));
}

}  // namespace

bool ProvisionConnection(const std::u16string& entryName, bool intranetMode,
                         const CIntranetSettings& in, ce::GUID& destination) {
    if (!ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, ce::kConnMgrKey) &&
        !ce::RegCreateKey(ce::HKEY_LOCAL_MACHINE, ce::kConnMgrKey))
        return false;
    ce::GUID g = NewDestinationGuid();
    std::u16string gs = ce::GuidToString(g);
    // The document's result is not looked at: the registry below is what the request reads.
    ce::DMProcessConfigXML(
        u"<wap-provisioningdoc>\t<characteristic type=\"CM_Networks\">\t\t"
        u"<characteristic type=\"" +
            entryName + u"\">\t\t\t<parm name=\"DestId\" value=\"" + gs +
            u"\" />\t\t</characteristic>\t</characteristic></wap-provisioningdoc>",
        ce::CFGFLAG_PROCESS, nullptr);
    destination = g;
    bool proxy = CIntranetSettings::On(in.proxy);
    bool socks5 = CIntranetSettings::On(in.socks5);
    std::u16string internet = ce::GuidToString(ce::kInternetDestination);
    // One transaction: a crash never leaves the entry registered without its proxy entries.
    return ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [&](ce::RegKey& root) {
        ce::RegKey* conns = root.Find(ce::kConnMgrDialUpConnectionsKey, true);
        ce::RegKey* entry = conns->Find(entryName, true);
        SetSz(*entry, u"DestId", gs);
        SetDword(*entry, u"Enabled", 1);
        SetDword(*entry, u"EntryType", 0);
        SetDword(*entry, u"RequirePw", 1);

        ce::RegKey* proxies = root.Find(ce::kConnMgrProxiesKey, true);
        for (auto it = proxies->keys.begin(); it != proxies->keys.end();) {
            if (it->first.rfind(ce::FoldCase(u"HTTP-"), 0) == 0)
                it = proxies->keys.erase(it);
            else
                ++it;
        }
        ce::RegKey* http = proxies->Find(u"HTTP-" + gs, true);
        SetSz(*http, u"DestId", internet);
        SetDword(*http, u"Enable", 1);
        SetSz(*http, u"ExtraInfo", u"");
        SetSz(*http, u"Override", u"");
        SetSz(*http, u"Password", u"");
        if (intranetMode && proxy && !in.proxy_http.empty()) {
            SetSz(*http, u"Proxy", in.proxy_http);
            SetDword(*http, u"Type", 1);
        } else {
            SetSz(*http, u"Proxy", kPlaceholderProxy);
            SetDword(*http, u"Type", 0);
        }
        SetSz(*http, u"SrcId", gs);
        SetSz(*http, u"UserName", u"");

        DeleteKey(*proxies, u"SOCKS-" + gs);
        DeleteKey(*proxies, u"WAP-" + gs);
        if (!intranetMode)
            return true;
        if (proxy && !in.proxy_socks.empty()) {
            ce::RegKey* socks = proxies->Find(u"SOCKS-" + gs, true);
            SetSz(*socks, u"DestId", internet);
            SetDword(*socks, u"Enable", 1);
            SetSz(*socks, u"Proxy", in.proxy_socks);
            SetSz(*socks, u"Username", socks5 ? in.proxy_user : u"");
            SetSz(*socks, u"Password", socks5 ? in.proxy_password : u"");
            SetSz(*socks, u"SrcId", gs);
            SetDword(*socks, u"Type", socks5 ? 8 : 4);
        }
        if (proxy && !in.proxy_wap.empty()) {
            ce::RegKey* wap = proxies->Find(u"WAP-" + gs, true);
            SetSz(*wap, u"DestId", ce::GuidToString(ce::kWapDestination));
            SetDword(*wap, u"Enable", 1);
            SetSz(*wap, u"Proxy", in.proxy_wap);
            SetSz(*wap, u"SrcId", gs);
            SetDword(*wap, u"Type", 2);
        }
        return true;
    });
}

}  // namespace kvo::connect
