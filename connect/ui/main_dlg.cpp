#include "connect/ui/main_dlg.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "connect/flow/command.h"
#include "connect/ui/about_page.h"
#include "connect/ui/boxes.h"
#include "connect/ui/question_dlgs.h"
#include "connect/ui/setup_page.h"
#ifdef KVO_CONNECT_TRAFFIC
#include "connect/ui/traffic_page.h"
#endif

namespace kvo::connect::ui {

const char kSetupLocked[] =
    "Unless the Internet connection is active you cannot change any settings in the setup.";

CMainDlg::CMainDlg(CConnection& conn, EPage start, bool bMonitorMode, ce::File lock, bool bPreview,
                   QWidget* parent)
    : QDialog(parent), m_conn(conn), m_bMonitorMode(bMonitorMode), m_lock(std::move(lock)) {
    setWindowTitle("kvonet pro");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pTabs = new QTabWidget;
    m_pTabs->setTabPosition(QTabWidget::South);  // as the handheld's tab bars sit
    m_pTabs->setDocumentMode(true);
    // Four tabs must fit 240 pixels without scroll arrows.
    m_pTabs->setUsesScrollButtons(false);
    m_pTabs->tabBar()->setExpanding(true);
    m_pTabs->setStyleSheet("QTabBar::tab { padding: 3px 4px; min-width: 0px; }");
    m_pSetup = new CSetupPage(conn);
    m_pExtras = new CExtrasPage(conn);
    m_pAbout = new CAboutPage(conn);
    m_pTabs->addTab(m_pSetup, "Setup");
    m_pTabs->addTab(m_pExtras, "Extras");
    m_pTabs->addTab(m_pAbout, "About");
#ifdef KVO_CONNECT_TRAFFIC
    m_pTraffic = new CTrafficPage(conn.m_strAppDir, bPreview);
    m_pTabs->addTab(m_pTraffic, "Traffic");
#else
    auto* none = new QLabel("The traffic page is not part of this build.");
    none->setWordWrap(true);
    m_pTabs->addTab(none, "Traffic");
#endif
    layout->addWidget(m_pTabs);
    InstallFlowDialogs(conn, this);
    connect(m_pAbout, &CAboutPage::Uninstalled, this, [this] { done(QDialog::Accepted); });
    connect(m_pExtras, &CExtrasPage::IntranetChanged, m_pSetup, &CSetupPage::Load);

    setFixedWidth(240);
    resize(240, 300);
    const int first = bMonitorMode ? PAGE_TRAFFIC : start;
    m_pTabs->setCurrentIndex(first);
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CMainDlg::OnTabChanged);
    OnTabChanged(first);
}

CMainDlg::~CMainDlg() {
    ReleaseLock();
}

void CMainDlg::ReleaseLock() {
    if (m_lock) {
        ce::DeleteFile(u"\\kvo.lock");
        m_lock.Close();
    }
}

void CMainDlg::OnTabChanged(int index) {
    if (index == m_nCurrent)
        return;
    if (m_nCurrent == PAGE_TRAFFIC && m_bMonitorMode) {
        if (!m_lock) {
            bool busy = false;
            m_lock = TakeRootLock(busy);
        }
        if (!m_lock) {
            QSignalBlocker block(m_pTabs);
            m_pTabs->setCurrentIndex(PAGE_TRAFFIC);
            CBoxes::Show(this, kSetupLocked);
            return;
        }
        // The setup is ours now: the window is an ordinary one from here on.
        m_bMonitorMode = false;
#ifdef KVO_CONNECT_TRAFFIC
        m_pTraffic->Close(true);
#endif
    }
#ifdef KVO_CONNECT_TRAFFIC
    else if (m_nCurrent == PAGE_TRAFFIC) {
        m_pTraffic->Close(false);
    }
    if (index == PAGE_TRAFFIC)
        m_pTraffic->Open();
#endif
    m_nCurrent = index;
}

void CMainDlg::done(int result) {
    if (!m_bClosed) {
        m_bClosed = true;
#ifdef KVO_CONNECT_TRAFFIC
        if (m_nCurrent == PAGE_TRAFFIC)
            m_pTraffic->Close(m_bMonitorMode);
#endif
        // Like the handheld's OK: what was changed on the pages is kept. Nothing is saved
        // after an uninstall, which has just removed the files.
        if (!m_conn.m_bResetPending && m_pSetup->IsChanged())
            m_pSetup->Save();
    }
    QDialog::done(result);
}

}  // namespace kvo::connect::ui
