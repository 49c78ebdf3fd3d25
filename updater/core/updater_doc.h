// The updater's document: who it updates, the check against the server, the download into
// "\windows\temp\" and the install. The window and the batch mode drive it the same way:
// StartUp, Check, then Update or SelfUpdate according to how the check ended.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_interface.h"
#include "platform/file.h"
#include "updater/core/update_info.h"
#include "updater/core/update_items.h"
#include "updater/core/version_info.h"

namespace kvo::updater {

enum class UpdaterEnd {
    Error,  // m_strMessage says what failed
    Cancelled,
    AppRunning,      // a program of the product runs
    SelfUpdate,      // a newer updater is to be put in place first
    FilesAvailable,  // items wait in display groups
    NoUpdates,
    Done,  // m_strMessage is the result
};

inline constexpr std::u16string_view kSelfTmp = u"self.tmp";
inline constexpr std::u16string_view kCopyShortcut = u"Updater copy.lnk";
// Held by the running updater: a second one would empty "\windows\temp\" under it.
inline constexpr std::u16string_view kUpdaterLock = u"updater.lock";

class CUpdaterDoc {
public:
    explicit CUpdaterDoc(IUserInterface& ui) : m_ui(ui) {}

    // Start-up: the updater's folder is that of its "updater.exe". A "self.tmp" there
    // resumes a self-update; otherwise the command line names the product. False with the
    // reason in `error` for a command line that names none, or while another updater runs
    // (AnotherRunning()).
    bool StartUp(std::u16string_view updaterDir, std::u16string_view commandLine,
                 std::string& error);
    UpdaterEnd Check();
    // Downloads and installs the selected items of the product.
    UpdaterEnd Update();
    // Downloads and records the updater's items, writes "self.tmp" and starts
    // "SelfUpdate.exe" with `commandLine` (which it hands on to the updater it restarts).
    UpdaterEnd SelfUpdate(std::u16string_view commandLine);

    void SetGroupChecked(size_t group, bool checked);
    const CItemList& Items() const { return m_list; }
    // The selected bytes of every group.
    int64_t TotalSize() const;

    bool IsResumed() const { return m_bResumed; }
    bool AnotherRunning() const { return m_bAnotherRunning; }
    bool NeedsReset() const { return m_bNeedsReset; }
    const std::u16string& ProductTag() const { return m_strProductTag; }
    const std::u16string& ProductDir() const { return m_strProductDir; }
    const std::u16string& UpdaterDir() const { return m_strUpdaterDir; }
    const std::u16string& Message() const { return m_strMessage; }
    // Why, in terms a terminal user can act on (the server's error, the file that failed).
    const std::string& Detail() const { return m_strDetail; }

    // Set by the interface thread; the worker tests it between steps and chunks. Cleared by
    // the interface before it starts a worker, never by the worker: a Cancel pressed before
    // the thread got going must not be lost.
    std::atomic<bool> m_bCancel{false};
    // Progress of the current download, read by the interface's timer.
    std::atomic<int64_t> m_nGroupDone{0};
    std::atomic<int64_t> m_nCurrent{0};
    std::atomic<int64_t> m_nGroupTotal{0};
    // The pause after "Found new ... version." so a person can read it.
    int m_nSelfUpdatePauseMs = 3000;

private:
    UpdaterEnd Fail(std::u16string message, std::string detail = {});
    bool ServerUrl(std::string& url);
    std::string ObjectUrl(std::u16string_view tag, std::u16string_view name);
    UpdaterEnd FetchList(std::u16string_view tag, CUpdateInfo& info);
    UpdaterEnd QuerySizes(std::u16string_view tag);
    UpdaterEnd Download(std::u16string_view tag, std::vector<std::u16string>& downloaded);
    UpdaterEnd Install(std::u16string_view target, bool postReset, bool selfUpdate,
                       const std::vector<std::u16string>& downloaded);
    void ClearDownloads(const std::vector<std::u16string>& downloaded);
    bool AnyProgramRunning(const CVersionInfo& installed) const;

    IUserInterface& m_ui;
    std::u16string m_strProductTag, m_strProductDir, m_strUpdaterDir;
    bool m_bResumed = false;
    bool m_bAnotherRunning = false;
    ce::File m_lock;
    bool m_bSelfUpdate = false;
    bool m_bPostReset = false;
    bool m_bNeedsReset = false;
    CVersionInfo m_installed;
    CItemList m_list;
    std::u16string m_strMessage;
    std::string m_strDetail;
    std::string m_strServer;
};

// "/app=TAG "/path=DIR"": the tag is the first blank-delimited word without "/app=", the
// directory the rest without quotes and "/path=". False when either is missing.
bool ParseUpdaterCommandLine(std::u16string_view commandLine, std::u16string& tag,
                             std::u16string& dir);

// Appends "H:M:S: text \n" to "\updater.log" in UTF-16.
void AppendUpdaterLog(std::u16string_view text);

}  // namespace kvo::updater
