#include "connect/ui/window_main.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QTabWidget>
#include <memory>

#include "connect/flow/command.h"
#include "connect/ui/boxes.h"
#include "connect/ui/define_app_dlg.h"
#include "connect/ui/intranet_wizard.h"
#include "connect/ui/mail_dlg.h"
#include "connect/ui/main_dlg.h"
#include "connect/ui/question_dlgs.h"
#ifdef KVO_CONNECT_TRAFFIC
#include "connect/ui/traffic_dialogs.h"
#include "connect/ui/traffic_page.h"
#endif
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/soft_reset.h"

namespace kvo::connect::ui {

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &c, 1);
}

// Ctrl-C or a kill closes the window as its close button does, so the lock, the markers and
// the settings are dealt with as on any other end.
class CCloseOnSignal {
public:
    explicit CCloseOnSignal(QDialog& dlg) {
        if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_pNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, &dlg, [&dlg] {
            char buf[16];
            while (read(g_signalPipe[0], buf, sizeof buf) > 0) {
            }
            dlg.reject();
        });
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
    }
    ~CCloseOnSignal() {
        if (!m_pNotifier)
            return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }

private:
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    struct sigaction m_oldInt {
    }, m_oldTerm{};
};

}  // namespace

int RunWindow(CConnection& conn, char16_t letter) {
    const bool bMonitor = letter == u'm';
    const std::u16string marker = conn.m_strAppDir + u"MONITORSTARTED";
    bool busy = false;
    ce::File lock;
    if (bMonitor) {
        // Another instance may hold it (a connection running): the page then stays put.
        lock = TakeRootLock(busy);
    } else {
        ce::WriteFileAtomic(marker, "");
        lock = TakeRootLock(busy);
        if (!lock) {
            ce::DeleteFile(marker);
            conn.m_strLastError =
                busy ? u"Another connect is running." : u"Cannot create \\kvo.lock.";
            return busy ? kCommandBusy : kCommandFailed;
        }
    }
    // The traffic page needs neither the database nor the settings: monitor mode opens it
    // whatever they say.
    if (!conn.Initialise(false) && !bMonitor) {
        CBoxes::Show(nullptr, Q(conn.m_strLastError));
        ce::DeleteFile(u"\\kvo.lock");
        lock.Close();
        ce::DeleteFile(marker);
        return kCommandFailed;
    }
    const auto start = letter == u'a' ? CMainDlg::PAGE_ABOUT
                       : bMonitor     ? CMainDlg::PAGE_TRAFFIC
                                      : CMainDlg::PAGE_SETUP;
    {
        CMainDlg dlg(conn, start, bMonitor, std::move(lock));
        CCloseOnSignal closer(dlg);
        dlg.exec();
        dlg.ReleaseLock();
    }
    conn.m_note.Remove();
    if (!bMonitor || !busy)
        ce::DeleteFile(marker);
    if (ce::GetProfileInt(u"data", u"updatenow", 0) == 1 && !conn.m_bResetPending)
        conn.StartUpdater();
    if (conn.m_bResetPending)
        ce::KernelIoControl(ce::IOCTL_HAL_REBOOT);
    return kCommandOk;
}

const char* ScreenshotPages() {
    return "setup, extras, about, traffic, traffic-settings, icon-position, define-app, "
           "intranet-1, intranet-2, intranet-3, email, connect-with, intranet-login";
}

namespace {

bool Save(QWidget& w, const std::string& file, std::string& error) {
    w.show();
    QApplication::processEvents();
    if (!w.grab().save(QString::fromStdString(file), "PNG")) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

}  // namespace

bool WriteScreenshot(CConnection& conn, const CScreenshotArgs& a, std::string& error) {
    // A picture answers no question.
    CBoxes::SetTestMode(true);
    const std::string& page = a.strPage;
    if (page == "setup" || page == "extras" || page == "about" || page == "traffic") {
        const auto start = page == "setup"    ? CMainDlg::PAGE_SETUP
                           : page == "extras" ? CMainDlg::PAGE_EXTRAS
                           : page == "about"  ? CMainDlg::PAGE_ABOUT
                                              : CMainDlg::PAGE_TRAFFIC;
        CMainDlg dlg(conn, start, false, {}, true);
#ifdef KVO_CONNECT_TRAFFIC
        if (page == "traffic") {
            const int view = a.strView == "month" ? 2 : a.strView == "year" ? 3 : 1;
            if (a.strView != "day" && view == 1) {
                error = "unknown view \"" + a.strView + "\" (day, month or year)";
                return false;
            }
            dlg.Traffic()->SetView(view);
            dlg.Traffic()->SetCostsMode(a.bCosts);
        }
#endif
        return Save(dlg, a.strFile, error);
    }
#ifdef KVO_CONNECT_TRAFFIC
    if (page == "traffic-settings" || page == "icon-position") {
        CTrafficPage traffic(conn.m_strAppDir, true);
        std::unique_ptr<QDialog> dlg;
        if (page == "traffic-settings")
            dlg = traffic.MakeSettingsDialog();
        else
            dlg = traffic.MakeIconDialog();
        return Save(*dlg, a.strFile, error);
    }
#endif
    if (page == "define-app") {
        CDefineAppDlg dlg;
        dlg.ShowFolder(u"\\Program Files\\kvonet pro\\");
        return Save(dlg, a.strFile, error);
    }
    if (page.rfind("intranet-", 0) == 0 && page.size() == 10 && page[9] >= '1' && page[9] <= '3') {
        CIntranetWizard dlg(conn.m_intranet);
        dlg.SetPage(page[9] - '1');
        return Save(dlg, a.strFile, error);
    }
    if (page == "email") {
        CMailDlg dlg;
        return Save(dlg, a.strFile, error);
    }
    if (page == "connect-with") {
        CConnectWithDlg dlg;
        return Save(dlg, a.strFile, error);
    }
    if (page == "intranet-login") {
        CIntranetLoginDlg dlg(conn.m_intranet.user, conn.m_intranet.password);
        return Save(dlg, a.strFile, error);
    }
    error = "unknown page \"" + page + "\"; pages: " + ScreenshotPages();
    return false;
}

}  // namespace kvo::connect::ui
