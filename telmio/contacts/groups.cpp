#include "telmio/contacts/groups.h"

#include <algorithm>

#include "common/binio.h"
#include "common/stored_string.h"
#include "platform/file.h"
#include "platform/text.h"
#include "telmio/contacts/phonebook.h"

namespace kvo {

std::u16string GroupPath(std::u16string_view appDir, std::u16string_view name) {
    return std::u16string(appDir) + u"groups\\" + std::u16string(name) + u".grp";
}

std::string FormatGroup(const CGroupMemberList& members) {
    MemWriter w;
    w.WriteU32(static_cast<uint32_t>(members.size()));
    for (const auto& m : members) {
        WriteStoredString(w, std::u16string_view(m->m_strSource).substr(0, kMaxStoredChars));
        w.WriteU32(m->m_nId);
        WriteStoredString(w, std::u16string_view(m->m_strName).substr(0, kMaxStoredChars));
    }
    return w.Bytes();
}

bool ParseGroup(std::string_view bytes, CGroupMemberList& members) {
    MemReader in(bytes);
    uint32_t count;
    if (!in.ReadU32(count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        auto m = std::make_unique<CGroupMember>();
        if (ReadStoredString(in, kMaxStoredChars, m->m_strSource) != StoredStringError::ok ||
            !in.ReadU32(m->m_nId) ||
            ReadStoredString(in, kMaxStoredChars, m->m_strName) != StoredStringError::ok)
            return false;
        members.push_back(std::move(m));
    }
    return in.Remaining() == 0;
}

int ReadGroup(CGroupMemberList& members, std::u16string_view path) {
    std::string bytes;
    if (!ce::ReadFileBytes(path, bytes))
        return 0;
    return ParseGroup(bytes, members) ? 1 : 0;
}

int WriteGroup(const CGroupMemberList& members, std::u16string_view path) {
    return ce::WriteFileAtomic(path, FormatGroup(members)) ? 1 : 0;
}

int32_t ReadGroupCount(std::u16string_view path) {
    ce::File f = ce::File::OpenRead(path);
    int32_t count = 0;
    if (!f || !f.ReadExact(&count, sizeof count))
        return 0;
    return std::max<int32_t>(count, 0);
}

void LoadGroupNames(std::vector<CSmsGroup>& groups, std::u16string_view folder) {
    groups.clear();
    for (const ce::FindData& found : ce::FindFiles(std::u16string(folder) + u"\\*.grp")) {
        if (found.isDirectory || found.name.size() < 4)
            continue;
        CSmsGroup g;
        g.m_strName = found.name.substr(0, found.name.size() - 4);
        g.m_nCount = ReadGroupCount(std::u16string(folder) + u"\\" + g.m_strName + u".grp");
        groups.push_back(std::move(g));
    }
}

std::u16string CheckNewGroupName(const std::vector<CSmsGroup>& groups, const std::u16string& name) {
    if (name.empty())
        return u"You have to assign a name to your group.";
    for (const auto& g : groups)
        if (g.m_strName == name)
            return u"Group name still exists!";
    // The name becomes a file name in the groups folder.
    if (name.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos || name == u"." || name == u"..")
        return u"A group name cannot hold \\ / : * ? \" < > |.";
    return {};
}

bool CreateGroup(std::u16string_view appDir, const std::u16string& name) {
    ce::CreateDirectory(std::u16string(appDir) + u"groups");
    return WriteGroup({}, GroupPath(appDir, name)) == 1;
}

bool DeleteGroup(std::u16string_view appDir, const std::u16string& name) {
    std::u16string path = GroupPath(appDir, name);
    return ce::DeleteFile(path) || !ce::FileExists(path);
}

std::u16string AddMember(CGroupMemberList& members, const CBookEntry& entry,
                         const std::u16string& source, const std::u16string& groupName) {
    std::u16string number = entry.m_strNumber;
    if (!CleanNumber(number))
        return u"Can not add contact " + entry.m_strName + u". The Phone number is missing.";
    for (const auto& m : members)
        if (ce::EqualsNoCase(m->m_strName, entry.m_strName))
            return u"Contact already added to group " + groupName + u".";
    auto m = std::make_unique<CGroupMember>();
    m->m_strSource = source;
    m->m_nId = entry.m_nId;
    m->m_strName = entry.m_strName;
    members.push_back(std::move(m));
    return {};
}

bool RemoveMember(CGroupMemberList& members, const std::u16string& name) {
    auto it = std::find_if(members.begin(), members.end(),
                           [&](const auto& m) { return m->m_strName == name; });
    if (it == members.end())
        return false;
    members.erase(it);
    return true;
}

}  // namespace kvo
