#include "updater/ui/main_frame.h"

#include <QApplication>

#include "platform/soft_reset.h"
#include "updater/core/updater_texts.h"
#include "updater/ui/texts.h"

namespace kvo::updater::ui {
namespace {
QString Q(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
}  // namespace

CMainFrame::CMainFrame(CUpdaterDoc& doc, CStatusUi& status, std::u16string restartCommandLine,
                       QWidget* parent)
    : QMainWindow(parent),
      m_doc(doc),
      m_status(status),
      m_strRestart(std::move(restartCommandLine)) {
    setWindowTitle(kTitle);
    m_pStack = new QStackedWidget(this);
    setCentralWidget(m_pStack);
    m_pMain = new CUpdaterView(m_pStack);
    m_pFiles = new CFilesView(m_pStack);
    m_pError = new CErrorView(m_pStack);
    m_pAppRun = new CAppRunView(m_pStack);
    m_pNoUpdates = new CNoUpdatesView(m_pStack);
    m_pDone = new CDoneView(m_pStack);
    for (QWidget* v : std::initializer_list<QWidget*>{m_pMain, m_pFiles, m_pError, m_pAppRun,
                                                      m_pNoUpdates, m_pDone})
        m_pStack->addWidget(v);
    m_pMain->SetProduct(Q(doc.ProductTag()));
    m_pWork = new CWorkDlg(this);
    m_pWork->setWindowModality(Qt::WindowModal);

    for (CResultView* v :
         std::initializer_list<CResultView*>{m_pError, m_pAppRun, m_pNoUpdates, m_pDone})
        connect(v->QuitButton(), &QPushButton::clicked, this, &QWidget::close);
    connect(m_pMain->QuitButton(), &QPushButton::clicked, this, &QWidget::close);
    connect(m_pMain->CheckButton(), &QPushButton::clicked, this, &CMainFrame::StartCheck);
    connect(m_pError->SecondButton(), &QPushButton::clicked, this, &CMainFrame::StartCheck);
    connect(m_pAppRun->SecondButton(), &QPushButton::clicked, this, &CMainFrame::StartCheck);
    connect(m_pDone->SecondButton(), &QPushButton::clicked, this,
            [] { ce::KernelIoControl(ce::IOCTL_HAL_REBOOT); });
    connect(m_pFiles->UpdateButton(), &QPushButton::clicked, this, &CMainFrame::StartUpdate);
    connect(m_pFiles->CancelButton(), &QPushButton::clicked, this, [this] { ShowView(m_pMain); });
    connect(m_pFiles, &CFilesView::GroupToggled, this, [this](int group, bool checked) {
        m_doc.SetGroupChecked(size_t(group), checked);
        ShowFiles();
    });
    connect(m_pWork, &CWorkDlg::CancelRequested, this, &CMainFrame::Cancel);

    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CMainFrame::Poll);
    m_resume.setSingleShot(true);
    m_resume.setInterval(kResumeDelayMs);
    connect(&m_resume, &QTimer::timeout, this, &CMainFrame::StartCheck);
    // A handheld's screen: 240 wide.
    resize(240, 294);
}

CMainFrame::~CMainFrame() {
    // The worker must not outlive the document's user.
    m_doc.m_bCancel = true;
    m_worker.Join();
}

void CMainFrame::Start() {
    if (m_doc.IsResumed())
        m_resume.start();
}

void CMainFrame::StartCheck() {
    Run(JOB_CHECK);
}

void CMainFrame::StartUpdate() {
    Run(JOB_UPDATE);
}

void CMainFrame::Cancel() {
    m_doc.m_bCancel = true;
}

void CMainFrame::Run(Job job) {
    if (m_job != JOB_NONE)
        return;
    m_job = job;
    m_doc.m_bCancel = false;
    m_status.SetStatus({});
    m_pWork->SetMode(job == JOB_CHECK ? CWorkDlg::WAIT : CWorkDlg::PROGRESS);
    m_pWork->SetProduct(Q(job == JOB_SELF_UPDATE ? kUpdaterTag : m_doc.ProductTag()));
    m_pWork->open();
    CUpdaterDoc& doc = m_doc;
    switch (job) {
        case JOB_CHECK:
            m_worker.Start([&doc] { return doc.Check(); });
            break;
        case JOB_UPDATE:
            m_worker.Start([&doc] { return doc.Update(); });
            break;
        case JOB_SELF_UPDATE:
            m_worker.Start([&doc, line = m_strRestart] { return doc.SelfUpdate(line); });
            break;
        case JOB_NONE:
            break;
    }
    m_poll.start();
}

void CMainFrame::Poll() {
    QString status = Q(m_status.Status());
    if (m_job == JOB_UPDATE && status == Q(kUpgradingText) &&
        m_pWork->CurrentMode() != CWorkDlg::INSTALL)
        m_pWork->SetMode(CWorkDlg::INSTALL);
    m_pWork->SetStatus(status);
    if (m_pWork->CurrentMode() == CWorkDlg::PROGRESS) {
        int64_t total = m_doc.m_nGroupTotal;
        int64_t done = m_doc.m_nGroupDone + m_doc.m_nCurrent;
        m_pWork->SetPercent(total > 0 ? int(std::min<int64_t>(100, done * 100 / total)) : 0);
    }
    if (m_worker.Finished())
        Finish();
}

void CMainFrame::Finish() {
    m_poll.stop();
    Job job = m_job;
    UpdaterEnd end = m_worker.Take();
    m_job = JOB_NONE;
    m_pWork->hide();
    if (job == JOB_SELF_UPDATE && end == UpdaterEnd::Done) {
        // SelfUpdate.exe replaces this program and starts it again.
        emit HandedOver();
        close();
        return;
    }
    ShowEnd(end);
    emit WorkEnded(end);
    // The new updater goes in without asking.
    if (end == UpdaterEnd::SelfUpdate)
        Run(JOB_SELF_UPDATE);
}

void CMainFrame::ShowFiles() {
    m_pFiles->Fill(m_doc.Items(), m_doc.TotalSize());
    ShowView(m_pFiles);
}

void CMainFrame::ShowEnd(UpdaterEnd end) {
    switch (end) {
        case UpdaterEnd::Error:
            m_pError->SetText(Q(m_doc.Message()));
            ShowView(m_pError);
            break;
        case UpdaterEnd::Cancelled:
            ShowView(m_pMain);
            break;
        case UpdaterEnd::AppRunning:
            ShowView(m_pAppRun);
            break;
        case UpdaterEnd::SelfUpdate:
            // The progress dialog of the self-update follows over the main view.
            ShowView(m_pMain);
            break;
        case UpdaterEnd::FilesAvailable:
            ShowFiles();
            break;
        case UpdaterEnd::NoUpdates:
            ShowView(m_pNoUpdates);
            break;
        case UpdaterEnd::Done:
            m_pDone->SetText(Q(m_doc.Message()));
            m_pDone->SecondButton()->setVisible(m_doc.NeedsReset());
            ShowView(m_pDone);
            break;
    }
}

void CMainFrame::ShowView(QWidget* view) {
    m_pStack->setCurrentWidget(view);
}

}  // namespace kvo::updater::ui
