#include "tools/kvo/pim_host.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>

#include "platform/device.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo::cli {

std::vector<CPimAddIn> PimAddIns() {
    std::vector<CPimAddIn> out;
    auto keys = ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, ce::kPimAddInsKey);
    if (!keys)
        return out;
    for (const auto& k : *keys) {
        std::u16string key = std::u16string(ce::kPimAddInsKey) + u"\\" + k;
        out.push_back({k, ce::RegGetString(ce::HKEY_LOCAL_MACHINE, key, u"DLL"),
                       ce::RegGetString(ce::HKEY_LOCAL_MACHINE, key, u"Menu")});
    }
    return out;
}

bool RunPimCommand(const CPimAddIn& addIn, const std::vector<uint32_t>& oids, ce::HRESULT& hr,
                   std::string& error) {
    static std::map<std::filesystem::path, void*> loaded;
    // Installed add-ins are links to the built libraries, as programs are.
    std::filesystem::path host =
        addIn.m_strDll.empty() ? std::filesystem::path() : ce::MapPath(addIn.m_strDll);
    std::error_code ec;
    if (host.empty() || !std::filesystem::exists(host, ec)) {
        error = "the add-in \"" + ce::ToUtf8(addIn.m_strName) + "\" has no library at \"" +
                ce::ToUtf8(addIn.m_strDll) + "\"";
        return false;
    }
    void*& lib = loaded[host];
    if (!lib)
        lib = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        error = "cannot load " + host.string() + ": " + dlerror();
        loaded.erase(host);
        return false;
    }
    auto command = reinterpret_cast<ce::PFNCEPIMCOMMAND>(dlsym(lib, ce::kPimCommandEntry));
    if (!command) {
        error = host.string() + " exports no " + ce::kPimCommandEntry;
        return false;
    }
    hr = command(nullptr, ce::kPimTypeContact, uint32_t(oids.size()), oids.data(), nullptr);
    return true;
}

}  // namespace kvo::cli
