// The updater's frame: a stack of views, the dialog over them while a worker runs, and the
// 500 ms timer that polls the worker, its status line and its progress counters.
#pragma once
#include <QMainWindow>
#include <QStackedWidget>
#include <QTimer>

#include "updater/core/updater_doc.h"
#include "updater/ui/status_ui.h"
#include "updater/ui/views.h"
#include "updater/ui/work_dlg.h"
#include "updater/ui/worker.h"

namespace kvo::updater::ui {

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kPollMs = 500;
    static constexpr int kResumeDelayMs = 500;

    // `restartCommandLine` goes to SelfUpdate.exe, which hands it to the updater it restarts.
    CMainFrame(CUpdaterDoc& doc, CStatusUi& status, std::u16string restartCommandLine = {},
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // A resumed run checks by itself after kResumeDelayMs.
    void Start();
    void StartCheck();
    void StartUpdate();
    void Cancel();
    // Shows the view for how a worker ended (also for pictures of each view).
    void ShowEnd(UpdaterEnd end);
    void ShowFiles();
    void ShowView(QWidget* view);

    bool Busy() const { return m_job != JOB_NONE; }
    QWidget* CurrentView() const { return m_pStack->currentWidget(); }
    CUpdaterView* MainView() const { return m_pMain; }
    CFilesView* FilesView() const { return m_pFiles; }
    CErrorView* ErrorView() const { return m_pError; }
    CAppRunView* AppRunView() const { return m_pAppRun; }
    CNoUpdatesView* NoUpdatesView() const { return m_pNoUpdates; }
    CDoneView* DoneView() const { return m_pDone; }
    CWorkDlg* WorkDlg() const { return m_pWork; }
    const QTimer& PollTimer() const { return m_poll; }
    const QTimer& ResumeTimer() const { return m_resume; }

signals:
    // A worker ended and its view shows.
    void WorkEnded(kvo::updater::UpdaterEnd end);
    // The self-update handed over to SelfUpdate.exe; the program ends.
    void HandedOver();

private:
    enum Job { JOB_NONE, JOB_CHECK, JOB_UPDATE, JOB_SELF_UPDATE };
    void Run(Job job);
    void Poll();
    void Finish();

    CUpdaterDoc& m_doc;
    CStatusUi& m_status;
    std::u16string m_strRestart;
    QStackedWidget* m_pStack;
    CUpdaterView* m_pMain;
    CFilesView* m_pFiles;
    CErrorView* m_pError;
    CAppRunView* m_pAppRun;
    CNoUpdatesView* m_pNoUpdates;
    CDoneView* m_pDone;
    CWorkDlg* m_pWork;
    QTimer m_poll, m_resume;
    Job m_job = JOB_NONE;
    CWorker m_worker;
};

}  // namespace kvo::updater::ui
