// Configuration documents: a result or an error, never neither; an accepted document holds
// only settings the registry can store and apply, and a refused one leaves no settings.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/config_xml.h"
#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ce::ConfigDocument doc;
    std::string error;
    bool ok = ce::ParseConfigXml(text, doc, error);
    if (ok == !error.empty() && !ok)
        std::abort();
    if (!ok) {
        if (!doc.settings.empty())
            std::abort();
        return 0;
    }
    ce::RegKey root;
    ce::ApplyConfigDocument(doc, root);
    std::string why;
    if (!ce::CheckRegTree(root, ce::HKEY_LOCAL_MACHINE, why))
        std::abort();
    for (const ce::ConfigSetting& s : doc.settings) {
        const ce::RegKey* key = root.Find(s.strKey);
        if (!key)
            std::abort();
    }
    return 0;
}
