#include "telmio/sms/user_folders.h"

#include <map>
#include <set>

#include "common/install_dir.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo {
namespace {

constexpr char16_t kAccessFailed[] = u"Access to registers failed.";
constexpr int kMaxUserFolderId = 1999;

}  // namespace

std::u16string UserFolderKey() {
    return u"Software\\" + std::u16string(kSuiteKey);
}

int ParseFolderId(std::u16string_view text) {
    if (text.empty() || text.size() > 4)
        return 0;
    int id = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return 0;
        id = id * 10 + (c - u'0');
    }
    return id >= 1 && id <= kMaxUserFolderId ? id : 0;
}

bool LoadUserFolders(std::vector<CUserFolder>& folders, IUserInterface& ui) {
    folders.clear();
    std::u16string key = UserFolderKey();
    if (!ce::RegKeyExists(ce::HKEY_CURRENT_USER, key) &&
        !ce::RegCreateKey(ce::HKEY_CURRENT_USER, key)) {
        ui.MessageBox(kAccessFailed);
        return false;
    }
    auto names = ce::RegEnumValues(ce::HKEY_CURRENT_USER, key);
    if (!names) {
        ui.MessageBox(kAccessFailed);
        return false;
    }
    std::map<std::u16string, std::u16string> byName, byId;  // suffix -> text
    for (const std::u16string& name : *names) {
        if (name.empty() || (name[0] != u'N' && name[0] != u'I'))
            continue;
        auto value = ce::RegQueryValue(ce::HKEY_CURRENT_USER, key, name);
        if (!value) {
            ui.MessageBox(kAccessFailed);
            return false;
        }
        auto text = value->AsSz();
        if (!text)
            continue;
        (name[0] == u'N' ? byName : byId)[name.substr(1)] = *text;
    }
    std::set<int> seen;
    for (const auto& [suffix, folderName] : byName) {
        auto it = byId.find(suffix);
        if (it == byId.end())
            continue;
        int id = ParseFolderId(it->second);
        if (id == 0 || !seen.insert(id).second)
            continue;
        folders.push_back({folderName, id});
    }
    return true;
}

bool SaveUserFolders(const std::vector<CUserFolder>& folders, IUserInterface& ui) {
    std::u16string key = UserFolderKey();
    bool ok = ce::RegTransact(ce::HKEY_CURRENT_USER, [&](ce::RegKey& root) {
        ce::RegKey* k = root.Find(key, true);
        if (!k)
            return false;
        for (auto it = k->values.begin(); it != k->values.end();) {
            const std::u16string& n = it->second.name;
            bool ours = !n.empty() && (n[0] == u'N' || n[0] == u'I');
            it = ours ? k->values.erase(it) : std::next(it);
        }
        for (size_t i = 0; i < folders.size(); ++i) {
            std::u16string suffix = ce::FromUtf8(std::to_string(i));
            std::u16string id = ce::FromUtf8(std::to_string(folders[i].m_nId));
            for (auto& [n, v] : {std::pair{u"N" + suffix, ce::RegValue::Sz(folders[i].m_strName)},
                                 std::pair{u"I" + suffix, ce::RegValue::Sz(id)}}) {
                k->values[ce::FoldCase(n)] = ce::RegKey::Named{n, v};
            }
        }
        return true;
    });
    if (!ok)
        ui.MessageBox(kAccessFailed);
    return ok;
}

int NewUserFolderId(const std::vector<CUserFolder>& folders) {
    std::set<int> used;
    for (const CUserFolder& f : folders) used.insert(f.m_nId);
    for (int id = 1; id <= kMaxUserFolderId; ++id) {
        if (!used.count(id))
            return id;
    }
    return 0;
}

}  // namespace kvo
