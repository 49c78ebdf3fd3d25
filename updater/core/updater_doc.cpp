#include "updater_doc.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/http.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell_shortcut.h"
#include "platform/text.h"
#include "updater/core/file_placement.h"
#include "updater/core/list_lines.h"
#include "updater/core/post_reset_copy.h"
#include "updater/core/update_paths.h"
#include "updater/core/updater_texts.h"

namespace kvo::updater {
namespace {

constexpr std::u16string_view kUpdateInfo = u"update.info";
constexpr std::u16string_view kVersionInfo = u"version.info";

int MessageOf(ce::HttpResult r) {
    switch (r) {
        case ce::HttpResult::OpenFailed:
            return IDS_NO_INTERNET;
        case ce::HttpResult::ConnectFailed:
        case ce::HttpResult::SendFailed:
            return IDS_NO_SERVER;
        case ce::HttpResult::RequestFailed:
            return IDS_NO_REQUEST;
        default:
            return IDS_NOT_FOUND;
    }
}

// Error pages and redirections carry a body too, but never the file asked for.
bool IsSuccess(long status) {
    return status >= 200 && status < 300;
}

std::u16string WithoutTrailingSlash(std::u16string_view dir) {
    std::u16string out(dir);
    while (out.size() > 1 && out.back() == u'\\') out.pop_back();
    return out;
}

}  // namespace

bool ParseUpdaterCommandLine(std::u16string_view commandLine, std::u16string& tag,
                             std::u16string& dir) {
    size_t space = commandLine.find(u' ');
    if (space == std::u16string_view::npos)
        return false;
    std::u16string_view first = commandLine.substr(0, space);
    if (first.size() <= 5 || !ce::EqualsNoCase(first.substr(0, 5), u"/app="))
        return false;
    std::u16string rest;
    for (char16_t c : commandLine.substr(space + 1))
        if (c != u'"' && c != u'\'')
            rest += c;
    if (rest.size() <= 6 || !ce::EqualsNoCase(std::u16string_view(rest).substr(0, 6), u"/path="))
        return false;
    tag = std::u16string(first.substr(5));
    dir = WithoutTrailingSlash(std::u16string_view(rest).substr(6));
    return !dir.empty();
}

void AppendUpdaterLog(std::u16string_view text) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::u16string line =
        ce::FromUtf8(std::to_string(local.tm_hour) + ":" + std::to_string(local.tm_min) + ":" +
                     std::to_string(local.tm_sec) + ": ") +
        std::u16string(text) + u" \n";
    std::string bytes;
    for (char16_t c : line) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    ce::File log = ce::File::OpenAppend(u"\\updater.log");
    if (log)
        log.Write(bytes);
}

bool CUpdaterDoc::StartUp(std::u16string_view updaterDir, std::u16string_view commandLine,
                          std::string& error) {
    m_strUpdaterDir = WithoutTrailingSlash(updaterDir) + u"\\";
    std::u16string selfTmp = m_strUpdaterDir + std::u16string(kSelfTmp);
    std::string bytes;
    m_bResumed = false;
    if (ce::ReadFileBytes(selfTmp, bytes)) {
        size_t lf = bytes.find('\n');
        std::string tag = bytes.substr(0, lf);
        std::string dir = lf == std::string::npos ? "" : bytes.substr(lf + 1);
        if (!dir.empty() && dir.back() == '\n')
            dir.pop_back();
        for (std::string* s : {&tag, &dir})
            if (!s->empty() && s->back() == '\r')
                s->pop_back();
        if (!tag.empty() && !dir.empty()) {
            m_strProductTag = Widen(tag);
            m_strProductDir = WithoutTrailingSlash(Widen(dir));
            m_bResumed = true;
        }
    }
    if (!m_bResumed) {
        ce::DeleteFile(u"\\updater.log");
        if (!ParseUpdaterCommandLine(commandLine, m_strProductTag, m_strProductDir)) {
            error = "expected /app=TAG \"/path=DIR\"";
            return false;
        }
    }
    // The updater that handed over to SelfUpdate.exe may take a moment to end.
    m_lock = ce::File::OpenWait(m_strUpdaterDir + std::u16string(kUpdaterLock), ce::GENERIC_WRITE,
                                ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS, m_bResumed ? 10000 : 0);
    if (!m_lock) {
        m_bAnotherRunning = ce::GetLastError() == ce::ERROR_SHARING_VIOLATION;
        error = m_bAnotherRunning ? "another updater is running; wait for it to end"
                                  : "cannot open " + ce::ToUtf8(m_strUpdaterDir) +
                                        "updater.lock: " + ce::GetLastErrorText();
        return false;
    }
    ce::DeleteFile(selfTmp);
    ce::CreateDirectories(kTempDir);
    // Files waiting for a soft reset stay until copy.exe has put them in place.
    if (!ce::FileExists(kPostResetCopyFile)) {
        for (const ce::FindData& f : ce::FindFiles(std::u16string(kTempDir) + u"\\*.*"))
            if (!f.isDirectory)
                ce::DeleteFile(TempPath(f.name));
    }
    std::u16string startup;
    if (ce::SHGetSpecialFolderPath(ce::CSIDL_STARTUP, startup, true))
        ce::SHCreateShortcut(startup + u"\\" + std::u16string(kCopyShortcut),
                             u"\"" + m_strUpdaterDir + u"copy.exe\"");
    return true;
}

UpdaterEnd CUpdaterDoc::Fail(std::u16string message, std::string detail) {
    m_strMessage = std::move(message);
    m_strDetail = std::move(detail);
    return UpdaterEnd::Error;
}

bool CUpdaterDoc::ServerUrl(std::string& url) {
    std::u16string server = ce::RegGetString(
        ce::HKEY_LOCAL_MACHINE, std::u16string(kAppsKey) + u"\\" + std::u16string(kUpdaterKey),
        u"Server", kDefaultServer);
    std::string host;
    uint16_t port = 0;
    if (!ce::ParseHttpServer(server, host, port)) {
        m_strDetail =
            "the registry value \"Server\" is not http://HOST[:PORT]: " + ce::ToUtf8(server);
        return false;
    }
    url = "http://" + host + ":" + std::to_string(port);
    return true;
}

std::string CUpdaterDoc::ObjectUrl(std::u16string_view tag, std::u16string_view name) {
    // The handheld's client drops its connection log with every connection it opens.
    ce::DeleteFile(u"\\t.log");
    return m_strServer + ObjectPath(kBasePath, tag, name);
}

UpdaterEnd CUpdaterDoc::FetchList(std::u16string_view tag, CUpdateInfo& info) {
    if (!ServerUrl(m_strServer))
        return Fail(LoadText(IDS_NO_REQUEST), m_strDetail);
    std::string url = ObjectUrl(tag, kUpdateInfo);
    ce::HttpReply reply = ce::HttpGetFile(url, TempPath(kUpdateInfo), nullptr, &m_bCancel);
    if (reply.result == ce::HttpResult::Cancelled)
        return UpdaterEnd::Cancelled;
    if (reply.result != ce::HttpResult::Ok)
        return Fail(LoadText(MessageOf(reply.result)), url + ": " + reply.strDetail);
    std::string bytes;
    if (!ce::ReadFileBytes(TempPath(kUpdateInfo), bytes))
        return Fail(LoadText(IDS_NOT_FOUND), "cannot read the downloaded list");
    info = ParseUpdateInfo(bytes);
    // A missing list behind a friendly error page.
    if (info.bWebPage)
        return Fail(LoadText(IDS_NO_SERVER), url + ": the server sent a web page, not a list");
    if (!IsSuccess(reply.nStatus))
        return Fail(LoadText(IDS_NOT_FOUND),
                    url + ": the server answered " + std::to_string(reply.nStatus));
    return UpdaterEnd::Done;
}

UpdaterEnd CUpdaterDoc::QuerySizes(std::u16string_view tag) {
    for (CDownloadItem& item : m_list.items) {
        if (m_bCancel)
            return UpdaterEnd::Cancelled;
        std::string url = ObjectUrl(tag, item.RequestName());
        ce::HttpReply reply = ce::HttpQueryLength(url, &m_bCancel);
        if (reply.result == ce::HttpResult::Cancelled)
            return UpdaterEnd::Cancelled;
        if (reply.result != ce::HttpResult::Ok)
            return Fail(LoadText(IDS_NOT_FOUND), url + ": " + reply.strDetail);
        item.nSize = reply.nLength;
    }
    return UpdaterEnd::Done;
}

bool CUpdaterDoc::AnyProgramRunning(const CVersionInfo& installed) const {
    std::vector<ce::ProcessEntry> running = ce::ProcessSnapshot();
    for (const CInstalledFile& f : installed.files) {
        // The process name holds at most 15 bytes of the program's name.
        std::u16string_view name = std::u16string_view(f.strName).substr(0, 15);
        for (const ce::ProcessEntry& p : running)
            if (ce::EqualsNoCase(p.exeName, name))
                return true;
    }
    return false;
}

UpdaterEnd CUpdaterDoc::Check() {
    m_bSelfUpdate = false;
    m_list = {};
    m_strMessage.clear();
    m_strDetail.clear();
    CUpdateInfo info;
    if (!m_bResumed) {
        m_ui.SetStatus(LoadText(IDS_CHECKING, kUpdaterTag));
        std::optional<CVersionInfo> own = ReadVersionInfo(m_strUpdaterDir);
        if (!own)
            return Fail(LoadText(IDS_NO_VERSION_INFO, kUpdaterTag),
                        "missing " + ce::ToUtf8(m_strUpdaterDir) + "version.info");
        if (UpdaterEnd e = FetchList(kUpdaterTag, info); e != UpdaterEnd::Done)
            return e;
        m_list = BuildItems(*own, info, WithoutTrailingSlash(m_strUpdaterDir));
        if (!m_list.items.empty()) {
            m_ui.SetStatus(LoadText(IDS_FOUND_UPDATER, kUpdaterTag));
            if (UpdaterEnd e = QuerySizes(kUpdaterTag); e != UpdaterEnd::Done)
                return e;
            m_installed = *own;
            SelectItems(m_list, m_installed, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(m_nSelfUpdatePauseMs));
            m_bSelfUpdate = true;
            return UpdaterEnd::SelfUpdate;
        }
        m_list = {};
    }
    if (m_bCancel)
        return UpdaterEnd::Cancelled;
    m_ui.SetStatus(LoadText(IDS_CHECKING, m_strProductTag));
    std::optional<CVersionInfo> installed = ReadVersionInfo(m_strProductDir);
    if (!installed)
        return Fail(LoadText(IDS_NO_VERSION_INFO, m_strProductTag),
                    "missing " + ce::ToUtf8(m_strProductDir) + "\\version.info");
    bool isUpdater = m_strProductTag == u"updater";
    if (!isUpdater && IsOlderVersion(kUpdaterVersion, installed->strVer))
        return Fail(LoadText(IDS_NEED_NEW_UPDATER), "the product was written by updater " +
                                                        ce::ToUtf8(installed->strVer) +
                                                        "; this is " + ce::ToUtf8(kUpdaterVersion));
    info = {};
    if (UpdaterEnd e = FetchList(m_strProductTag, info); e != UpdaterEnd::Done)
        return e;
    if (!info.bPostResetCopy && AnyProgramRunning(*installed))
        return UpdaterEnd::AppRunning;
    if (!isUpdater && IsOlderVersion(kUpdaterVersion, info.strVer))
        return Fail(LoadText(IDS_NEED_NEW_UPDATER), "the server's list needs updater " +
                                                        ce::ToUtf8(info.strVer) + "; this is " +
                                                        ce::ToUtf8(kUpdaterVersion));
    m_installed = *installed;
    m_bPostReset = info.bPostResetCopy;
    m_list = BuildItems(m_installed, info, m_strProductDir);
    if (UpdaterEnd e = QuerySizes(m_strProductTag); e != UpdaterEnd::Done)
        return e;
    SelectItems(m_list, m_installed, false);
    return m_list.AnyGroupHasItems() ? UpdaterEnd::FilesAvailable : UpdaterEnd::NoUpdates;
}

void CUpdaterDoc::SetGroupChecked(size_t group, bool checked) {
    if (group >= m_list.groups.size())
        return;
    m_list.groups[group].bChecked = checked;
    SelectItems(m_list, m_installed, m_bSelfUpdate);
}

int64_t CUpdaterDoc::TotalSize() const {
    int64_t total = 0;
    for (const CDisplayGroup& g : m_list.groups) total += g.nTotal;
    return total;
}

void CUpdaterDoc::ClearDownloads(const std::vector<std::u16string>& downloaded) {
    for (const std::u16string& name : downloaded) ce::DeleteFile(TempPath(name));
}

UpdaterEnd CUpdaterDoc::Download(std::u16string_view tag, std::vector<std::u16string>& downloaded) {
    // Checked groups in order; then what requirements pulled in from elsewhere, which the
    // install replaces just as well.
    std::vector<std::vector<size_t>> batches;
    std::vector<std::u16string> labels;
    std::vector<bool> taken(m_list.items.size(), false);
    for (size_t g = 0; g < m_list.groups.size(); ++g) {
        if (!m_list.groups[g].bChecked)
            continue;
        std::vector<size_t> batch;
        for (size_t i = 0; i < m_list.items.size(); ++i) {
            if (m_list.items[i].bChecked && m_list.items[i].nGroup == int(g) && !taken[i]) {
                batch.push_back(i);
                taken[i] = true;
            }
        }
        if (!batch.empty()) {
            batches.push_back(batch);
            labels.push_back(m_list.groups[g].strLabel);
        }
    }
    std::vector<size_t> rest;
    for (size_t i = 0; i < m_list.items.size(); ++i)
        if (m_list.items[i].bChecked && !taken[i])
            rest.push_back(i);
    if (!rest.empty()) {
        batches.push_back(rest);
        labels.push_back(u"");
    }
    for (size_t b = 0; b < batches.size(); ++b) {
        m_ui.SetStatus(std::u16string(kDownloadText) + u" " + labels[b]);
        int64_t total = 0;
        for (size_t i : batches[b]) total += m_list.items[i].nSize;
        m_nGroupTotal = total;
        m_nGroupDone = 0;
        for (size_t i : batches[b]) {
            const CDownloadItem& item = m_list.items[i];
            if (m_bCancel) {
                ClearDownloads(downloaded);
                return UpdaterEnd::Cancelled;
            }
            std::string url = ObjectUrl(tag, item.RequestName());
            ce::HttpReply reply =
                ce::HttpGetFile(url, TempPath(item.strName), &m_nCurrent, &m_bCancel);
            if (reply.result == ce::HttpResult::Ok && !IsSuccess(reply.nStatus)) {
                ce::DeleteFile(TempPath(item.strName));
                reply.result = ce::HttpResult::NoLength;
                reply.strDetail = "the server answered " + std::to_string(reply.nStatus);
            }
            if (reply.result == ce::HttpResult::Cancelled) {
                ClearDownloads(downloaded);
                return UpdaterEnd::Cancelled;
            }
            if (reply.result != ce::HttpResult::Ok) {
                ClearDownloads(downloaded);
                return Fail(LoadText(IDS_NOT_FOUND), url + ": " + reply.strDetail);
            }
            downloaded.push_back(item.strName);
            m_nGroupDone += reply.nLength;
            m_nCurrent = 0;
        }
    }
    ce::DeleteFile(TempPath(kUpdateInfo));
    return UpdaterEnd::Done;
}

UpdaterEnd CUpdaterDoc::Install(std::u16string_view target, bool postReset, bool selfUpdate,
                                const std::vector<std::u16string>& downloaded) {
    m_ui.SetStatus(std::u16string(kUpgradingText));
    bool deferred = postReset || selfUpdate;
    std::string list;
    std::vector<CPlacement> placements;
    for (const CDownloadItem& item : m_list.items) {
        if (!item.bChecked)
            continue;
        if (postReset)
            AppendUpdaterLog(kPostResetLogText);
        if (deferred)
            list += FormatPostResetLines(TempPath(item.strName), item.strDestination);
        else
            placements.push_back({TempPath(item.strName), item.strDestination});
    }
    CVersionInfo next;
    next.strVer = std::u16string(kUpdaterVersion);
    for (const CDownloadItem& item : m_list.items) {
        const CInstalledFile* have = m_installed.Find(item.strName);
        if (item.bChecked)
            next.files.push_back({item.strDir, item.strName, item.strVersion});
        else if (have)
            next.files.push_back(*have);
    }
    for (const CInstalledFile& f : m_installed.files) {
        bool named = false;
        for (const CDownloadItem& item : m_list.items) named = named || item.strName == f.strName;
        if (!named)
            next.files.push_back(f);
    }
    std::u16string versionInfo = JoinPath(target, kVersionInfo);
    if (deferred) {
        // The list claims the new versions only once the copy has put them in place: it is
        // the last file the copy handles.
        ce::DeleteFile(kPostResetCopyFile);
        list += FormatPostResetLines(TempPath(kVersionInfo), versionInfo);
        if (!ce::WriteFileAtomic(TempPath(kVersionInfo), FormatVersionInfo(next)) ||
            !ce::WriteFileAtomic(kPostResetCopyFile, list)) {
            std::string why = ce::GetLastErrorText();
            ce::DeleteFile(kPostResetCopyFile);
            ClearDownloads(downloaded);
            return Fail(LoadText(IDS_NOT_UPDATED), "cannot record the files to copy: " + why);
        }
        return UpdaterEnd::Done;
    }
    std::string error;
    bool placed = PlaceFiles(placements, error);
    if (placed && !ce::WriteFileAtomic(versionInfo, FormatVersionInfo(next)))
        error = "cannot write " + ce::ToUtf8(versionInfo) + ": " + ce::GetLastErrorText();
    if (ce::FileExists(kPostResetCopyFile)) {
        ClearDownloads(downloaded);
    } else {
        for (const ce::FindData& f : ce::FindFiles(std::u16string(kTempDir) + u"\\*.*"))
            if (!f.isDirectory)
                ce::DeleteFile(TempPath(f.name));
    }
    if (!error.empty())
        return Fail(LoadText(IDS_NOT_UPDATED), error);
    return UpdaterEnd::Done;
}

UpdaterEnd CUpdaterDoc::Update() {
    m_strDetail.clear();
    SelectItems(m_list, m_installed, false);
    std::vector<std::u16string> downloaded;
    if (UpdaterEnd e = Download(m_strProductTag, downloaded); e != UpdaterEnd::Done)
        return e;
    if (downloaded.empty()) {
        m_strMessage = LoadText(IDS_NOT_UPDATED);
        return UpdaterEnd::Done;
    }
    if (UpdaterEnd e = Install(m_strProductDir, m_bPostReset, false, downloaded);
        e != UpdaterEnd::Done)
        return e;
    m_bNeedsReset = m_bPostReset;
    m_strMessage = LoadText(m_bPostReset ? IDS_UPDATED_RESET : IDS_UPDATED);
    return UpdaterEnd::Done;
}

UpdaterEnd CUpdaterDoc::SelfUpdate(std::u16string_view commandLine) {
    std::vector<std::u16string> downloaded;
    if (UpdaterEnd e = Download(kUpdaterTag, downloaded); e != UpdaterEnd::Done)
        return e;
    if (UpdaterEnd e = Install(WithoutTrailingSlash(m_strUpdaterDir), false, true, downloaded);
        e != UpdaterEnd::Done)
        return e;
    std::u16string selfTmp = m_strUpdaterDir + std::u16string(kSelfTmp);
    std::string resume = Narrow(m_strProductTag) + "\n" + Narrow(m_strProductDir) + "\n";
    if (!ce::WriteFileAtomic(selfTmp, resume))
        return Fail(LoadText(IDS_NOT_UPDATED),
                    "cannot write " + ce::ToUtf8(selfTmp) + ": " + ce::GetLastErrorText());
    if (ce::CreateProcess(m_strUpdaterDir + u"SelfUpdate.exe", commandLine) < 0) {
        ce::DeleteFile(selfTmp);
        return Fail(LoadText(IDS_NOT_UPDATED),
                    "cannot start SelfUpdate.exe: " + ce::GetLastErrorText());
    }
    // The restarted updater waits for this lock: this one's work is over.
    m_lock.Close();
    m_strMessage = LoadText(IDS_FOUND_UPDATER, kUpdaterTag);
    return UpdaterEnd::Done;
}

}  // namespace kvo::updater
