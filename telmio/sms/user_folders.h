// User folders: names and ids in HKCU\Software\Orvane kvonet pro, as string values "N<k>"
// (name) and "I<k>" (id in decimal) that share the suffix k.
#pragma once
#include <string>
#include <vector>

#include "common/user_interface.h"

namespace kvo {

struct CUserFolder {
    std::u16string m_strName;
    int m_nId = 0;  // 1..1999
    bool operator==(const CUserFolder&) const = default;
};

// The registry key, relative to HKEY_CURRENT_USER.
std::u16string UserFolderKey();

// Reads the list (pairs with a missing or unusable id are left out). On a registry failure
// shows "Access to registers failed." and returns false.
bool LoadUserFolders(std::vector<CUserFolder>& folders, IUserInterface& ui);
// Replaces the stored list with `folders`.
bool SaveUserFolders(const std::vector<CUserFolder>& folders, IUserInterface& ui);
// The lowest id in 1..1999 that no folder uses; 0 when all are taken.
int NewUserFolderId(const std::vector<CUserFolder>& folders);
// Decimal id below 2000 and above 0, or 0.
int ParseFolderId(std::u16string_view text);

}  // namespace kvo
