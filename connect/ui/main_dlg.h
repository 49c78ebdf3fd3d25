// connect's main window: the setup pages, About and the traffic page under one tab bar.
// In monitor mode (started by the monitor's graph) it stays on the traffic page until the
// root lock can be had: the setup must not change under a running connection.
#pragma once
#include <QDialog>

#include "connect/flow/connection.h"
#include "platform/file.h"

class QTabWidget;

namespace kvo::connect::ui {

class CSetupPage;
class CExtrasPage;
class CAboutPage;
class CTrafficPage;

class CMainDlg : public QDialog {
    Q_OBJECT
public:
    enum EPage { PAGE_SETUP, PAGE_EXTRAS, PAGE_ABOUT, PAGE_TRAFFIC };

    // `lock` is the root lock when this instance holds it (empty in monitor mode when
    // another one does).
    CMainDlg(CConnection& conn, EPage start, bool bMonitorMode, ce::File lock,
             bool bPreview = false, QWidget* parent = nullptr);
    ~CMainDlg() override;

    QTabWidget* Tabs() const { return m_pTabs; }
    CSetupPage* Setup() const { return m_pSetup; }
    CExtrasPage* Extras() const { return m_pExtras; }
    CAboutPage* About() const { return m_pAbout; }
    CTrafficPage* Traffic() const { return m_pTraffic; }
    bool MonitorMode() const { return m_bMonitorMode; }
    bool HoldsLock() const { return static_cast<bool>(m_lock); }
    // Gives the lock back (deleting the file first, as its holder must).
    void ReleaseLock();

    void done(int result) override;

private:
    void OnTabChanged(int index);

    CConnection& m_conn;
    bool m_bMonitorMode;
    ce::File m_lock;
    int m_nCurrent = -1;
    bool m_bClosed = false;
    QTabWidget* m_pTabs;
    CSetupPage* m_pSetup;
    CExtrasPage* m_pExtras;
    CAboutPage* m_pAbout;
    CTrafficPage* m_pTraffic = nullptr;
};

// The text the traffic page shows when the setup cannot be reached from monitor mode.
extern const char kSetupLocked[];

}  // namespace kvo::connect::ui
