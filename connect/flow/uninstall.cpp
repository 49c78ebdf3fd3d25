#include <string>

#include "common/install_dir.h"
#include "connect/dialup/connect_strings.h"
#include "connect/flow/connection.h"
#include "platform/datetime.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kvo::connect {
namespace {

// Deletes the files of a folder (not its sub-folders) and then the folder when it is empty.
void DeleteFolder(const std::u16string& dir) {
    for (const ce::FindData& f : ce::FindFiles(dir + u"*"))
        if (!f.isDirectory)
            ce::DeleteFile(dir + f.name);
    std::u16string d = dir;
    if (!d.empty() && d.back() == u'\\')
        d.pop_back();
    ce::RemoveDirectory(d);
}

}  // namespace

bool CConnection::Uninstall() {
    const std::u16string key = LoadString(IDS_KEY_NAME);
    const std::u16string appsKey = std::u16string(kAppsKey) + u"\\" + key;
    bool ok = true;
    auto deleteTree = [&](ce::Hive hive, const std::u16string& path) {
        if (ce::RegKeyExists(hive, path) && !ce::RegDeleteTree(hive, path))
            ok = false;
    };
    deleteTree(ce::HKEY_CURRENT_USER, u"Software\\" + key);
    deleteTree(ce::HKEY_CURRENT_USER, u"Software\\Dialer");
    deleteTree(ce::HKEY_LOCAL_MACHINE,
               u"SOFTWARE\\Microsoft\\Today\\Items\\\"" + LoadString(IDS_TODAY_ITEM) + u"\"");
    if (ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, appsKey, u"myapp") &&
        !ce::RegDeleteValue(ce::HKEY_LOCAL_MACHINE, appsKey, u"myapp"))
        ok = false;
    if (!ok)
        Fail(IDS_REGISTRY_FAILED);

    const std::u16string& f = m_strAppDir;
    for (const char16_t* name :
         {u"kvo.ini", u"kvo.sms", u"kvo.tmp", u"kvo.con2", u"pb.ini", u"intranet.dat", u"mail.ini"})
        ce::DeleteFile(f + name);
    if (ce::IsProcessRunning(u"linkwatch.exe")) {
        ce::WriteFileAtomic(f + u"TERMINATE", "");
        ce::Sleep(1000);
    }
    ce::DeleteFile(f + u"linkwatch.exe");
    ce::DeleteFile(f + u"kvo.lock");
    ce::DeleteFile(u"\\kvo.lock");
    DeleteFolder(f + u"pb\\");
    DeleteFolder(f + u"LOG\\");
    DeleteFolder(u"\\Windows\\dialer\\theme\\");
    // The theme packages we install live beside the theme folder; without them the folder
    // could never go.
    for (const ce::FindData& thm : ce::FindFiles(u"\\Windows\\dialer\\*.thm"))
        if (!thm.isDirectory)
            ce::DeleteFile(u"\\Windows\\dialer\\" + thm.name);
    ce::RemoveDirectory(u"\\Windows\\dialer");
    for (const ce::FindData& file : ce::FindFiles(f + u"*"))
        if (!file.isDirectory && !ce::EqualsNoCase(file.name, u"connect.exe"))
            ce::DeleteFile(f + file.name);
    std::u16string dir = f;
    if (!dir.empty() && dir.back() == u'\\')
        dir.pop_back();
    ce::RemoveDirectory(dir);

    m_ui.MessageBox(LoadString(IDS_UNINSTALLED));
    m_bResetPending = true;
    return ok;
}

}  // namespace kvo::connect
