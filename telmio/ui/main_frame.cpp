#include "telmio/ui/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/thread.h"
#include "telmio/sms/sms_folders.h"
#include "telmio/ui/folders_dlg.h"
#include "telmio/ui/groups_dlg.h"
#include "telmio/ui/phonebook_dlg.h"
#include "telmio/ui/sms_service_dlg.h"
#include "telmio/ui/images.h"
#include "telmio/ui/options_dlg.h"
#include "telmio/ui/sms_editor.h"

namespace kvo::ui {

namespace {

constexpr int kTickedMoveBase = 3024;
constexpr int kSingleMoveBase = 7024;
// Where the Delete popup opens, in the handheld's window coordinates.
const QPoint kDeleteMenuPos(100, 250);

// The wait cursor while a command runs on the window's thread.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
};

// Move codes in menu order, with their view folders.
const std::vector<std::pair<int, int>>& SystemMoveCodes() {
    static const std::vector<std::pair<int, int>> codes = {
        {MOVE_INBOX, FOLDER_INBOX},   {MOVE_OUTBOX, FOLDER_OUTBOX},
        {MOVE_SENT, FOLDER_SENT},     {MOVE_DRAFT, FOLDER_DRAFT},
        {MOVE_TEMPLATES, FOLDER_TEMPLATES}, {MOVE_RECYCLE_BIN, FOLDER_RECYCLE_BIN},
    };
    return codes;
}

}  // namespace

QString FolderName(int folder) {
    switch (folder) {
    case FOLDER_INBOX: return "Inbox";
    case FOLDER_OUTBOX: return "Outbox";
    case FOLDER_SENT: return "Sent Messages";
    case FOLDER_DRAFT: return "Draft";
    case FOLDER_TEMPLATES: return "Templates";
    case FOLDER_RECYCLE_BIN: return "Recycle Bin";
    case FOLDER_SMS_SERVICE: return "SMS Service";
    default: return {};
    }
}

CMainFrame::CMainFrame(CTelmioDoc& doc, CWindowUi& ui, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_ui(ui) {
    setWindowTitle("kvo SMS");
    m_ui.SetWindow(this);
    m_menuRunner = [](QMenu& menu, const QPoint& pos) { return menu.exec(pos); };
    CreateCommands();
    CreateView();
    connect(&m_ui, &CWindowUi::StatusChanged, m_pStatus, &QLabel::setText);
    m_pReading = new QDialog(this);
    m_pReading->setWindowTitle("Reading messages");
    m_pReadingBar = new QProgressBar(m_pReading);
    (new QVBoxLayout(m_pReading))->addWidget(m_pReadingBar);
    m_pReading->resize(220, 60);
    connect(&m_ui, &CWindowUi::ProgressChanged, this, [this](int done, int total) {
        m_pProgress->setRange(0, total);
        m_pProgress->setValue(done);
        if (!Busy()) return;
        m_pReadingBar->setRange(0, total);
        m_pReadingBar->setValue(done);
        if (!m_pReading->isVisible()) m_pReading->show();
    });
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &CMainFrame::OnTick);
    m_timer.start();
    // The handheld's width; the desktop's pixel ratio scales it.
    resize(240, 300);
    RefreshView();
    UpdateCommands();
}

CMainFrame::~CMainFrame() {
    if (m_syncThread.joinable()) m_syncThread.join();
}

void CMainFrame::CreateCommands() {
    struct Def {
        Command c;
        const char* text;
        void (CMainFrame::*slot)();
    };
    const Def defs[] = {
        {CMD_NEW, "New SMS", nullptr}, {CMD_ANSWER, "Answer SMS", &CMainFrame::AnswerSms},
        {CMD_FORWARD, "Forward SMS", &CMainFrame::ForwardSms},
        {CMD_DELETE, "Delete SMS", &CMainFrame::DeleteSms},
        {CMD_SYNC, "Synchronize SMS", &CMainFrame::SynchronizeSms},
        {CMD_MOVE, "Move to folder", &CMainFrame::MoveToFolder},
        {CMD_EXIT, "&Exit", &CMainFrame::Exit},
        {CMD_DIALER, "Dialer...", nullptr},
        {CMD_FOLDERS, "Add/Remove Folders", &CMainFrame::ShowFolders},
        {CMD_OPTIONS, "Options...", &CMainFrame::ShowOptions},
        {CMD_GROUPS, "Define SMS Groups...", &CMainFrame::ShowGroups},
        {CMD_PHONEBOOK, "Phonebook...", &CMainFrame::ShowPhonebook},
        {CMD_CLEAR_PHONE, "Mobile Phone", nullptr}, {CMD_CLEAR_SIM, "SIM", nullptr},
        {CMD_EMPTY_BIN, "Empty Recycle Bin", &CMainFrame::EmptyRecycleBin},
    };
    for (const Def& d : defs) {
        QAction* a = new QAction(d.text, this);
        if (d.slot) connect(a, &QAction::triggered, this, d.slot);
        m_actions[d.c] = a;
    }
    connect(m_actions[CMD_NEW], &QAction::triggered, this, [this] { NewSms(); });
    connect(m_actions[CMD_DIALER], &QAction::triggered, this, [this] {
        if (!Busy() && !m_doc.StartDialer())
            CMessageBoxes::Show(this, "The dialer could not be started.");
    });
    connect(m_actions[CMD_CLEAR_PHONE], &QAction::triggered, this, [this] { ClearMemory(false); });
    connect(m_actions[CMD_CLEAR_SIM], &QAction::triggered, this, [this] { ClearMemory(true); });

    QMenu* menu = menuBar()->addMenu("Menu");
    menu->addAction(m_actions[CMD_EXIT]);
    menu->addSeparator();
    menu->addAction(m_actions[CMD_DIALER]);
    menu->addSeparator();
    menu->addAction(m_actions[CMD_FOLDERS]);
    menu->addAction(m_actions[CMD_OPTIONS]);
    menu->addSeparator();
    menu->addAction(m_actions[CMD_GROUPS]);
    menu->addAction(m_actions[CMD_PHONEBOOK]);
    menu->addSeparator();
    QMenu* clear = menu->addMenu("Clear SMS Memory");
    clear->addAction(m_actions[CMD_CLEAR_PHONE]);
    clear->addAction(m_actions[CMD_CLEAR_SIM]);
    menu->addAction(m_actions[CMD_EMPTY_BIN]);

    QToolBar* tools = new QToolBar(this);
    tools->setMovable(false);
    tools->setIconSize(QSize(20, 20));
    const Command order[] = {CMD_NEW, CMD_ANSWER, CMD_FORWARD, CMD_DELETE,
                             CMD_SYNC, CMD_MOVE, CMD_EXIT};
    for (int i = 0; i < 7; ++i) {
        QAction* a = m_actions[order[i]];
        a->setIcon(ToolIcon(i));
        a->setToolTip(i == 6 ? "Exit" : a->text());
        tools->addAction(a);
    }
    // The toolbar's icons stay out of the menu, as on the handheld.
    m_actions[CMD_EXIT]->setIconVisibleInMenu(false);
    addToolBar(Qt::BottomToolBarArea, tools);
}

void CMainFrame::CreateView() {
    QWidget* view = new QWidget(this);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto* top = new QHBoxLayout;
    m_pFolderBox = new QComboBox(view);
    m_pIndicator = new QLabel(view);
    m_pIndicator->setPixmap(SyncImage(0));
    m_pIndicator->setFixedSize(18, 18);
    top->addWidget(m_pFolderBox, 1);
    top->addWidget(m_pIndicator);
    layout->addLayout(top);
    m_pStack = new QStackedWidget(view);
    for (int f = FOLDER_INBOX; f <= FOLDER_RECYCLE_BIN; ++f) {
        auto* list = new CMessageList(new CMessageModel(m_doc.Store(), f), m_pStack);
        list->SetBusyCheck([this] { return Busy(); });
        connect(list, &CMessageList::OpenRequested, this, &CMainFrame::OpenMessage);
        connect(list, &CMessageList::MoveMenuRequested, this,
                [this](const QPoint& pos, int row) {
                    if (Busy()) return;
                    QMenu menu(this);
                    BuildMoveMenu(menu, row);
                    if (menu.isEmpty()) return;
                    QAction* chosen = RunMenu(menu, pos);
                    if (!chosen) return;
                    int id = chosen->data().toInt();
                    if (id >= kSingleMoveBase) {
                        CSmsMessage* m = CurrentList()->Model()->Message(row);
                        if (m) MoveMessages({m}, id - kSingleMoveBase);
                    } else {
                        MoveMessages(CurrentList()->Model()->Ticked(), id - kTickedMoveBase);
                    }
                });
        m_lists[f] = list;
        m_pStack->addWidget(list);
    }
    layout->addWidget(m_pStack, 1);
    m_pProgress = new QProgressBar(view);
    m_pProgress->setMaximumHeight(10);
    m_pProgress->setTextVisible(false);
    m_pProgress->setValue(0);
    layout->addWidget(m_pProgress);
    m_pStatus = new QLabel(view);
    layout->addWidget(m_pStatus);
    setCentralWidget(view);
    ReloadFolders();
    connect(m_pFolderBox, &QComboBox::activated, this, [this](int index) {
        if (m_pFolderBox->itemData(index).toInt() == FOLDER_SMS_SERVICE) {
            m_pFolderBox->setCurrentIndex(m_nLastBoxIndex);
            ShowSmsService();
            return;
        }
        m_nLastBoxIndex = index;
        RefreshView();
    });
}

void CMainFrame::ReloadFolders() {
    QString current = m_pFolderBox->currentText();
    LoadUserFolders(m_userFolders, m_ui);
    m_pFolderBox->clear();
    for (int f = FOLDER_INBOX; f <= FOLDER_TEMPLATES; ++f) m_pFolderBox->addItem(FolderName(f), f);
    for (const CUserFolder& u : m_userFolders)
        m_pFolderBox->addItem(Q(u.m_strName), QVariantList{FOLDER_USER, u.m_nId});
    m_pFolderBox->addItem(FolderName(FOLDER_RECYCLE_BIN), FOLDER_RECYCLE_BIN);
    if (m_doc.HasSmsService())
        m_pFolderBox->addItem(FolderName(FOLDER_SMS_SERVICE), FOLDER_SMS_SERVICE);
    int index = current.isEmpty() ? 0 : m_pFolderBox->findText(current);
    m_nLastBoxIndex = index < 0 ? 0 : index;
    m_pFolderBox->setCurrentIndex(m_nLastBoxIndex);
}

bool CMainFrame::SelectFolder(const QString& name) {
    int index = m_pFolderBox->findText(name, Qt::MatchFixedString);
    if (index < 0) return false;
    m_pFolderBox->setCurrentIndex(index);
    m_nLastBoxIndex = index;
    RefreshView();
    return true;
}

int CMainFrame::CurrentFolder() const {
    QVariant data = m_pFolderBox->currentData();
    if (data.typeId() == QMetaType::QVariantList) return FOLDER_USER;
    return data.toInt();
}

CMessageList* CMainFrame::CurrentList() const {
    return m_lists.at(CurrentFolder() == FOLDER_SMS_SERVICE ? FOLDER_INBOX : CurrentFolder());
}

void CMainFrame::RefreshView() {
    QVariant data = m_pFolderBox->currentData();
    if (data.typeId() == QMetaType::QVariantList)
        m_lists[FOLDER_USER]->Model()->SetUserFolder(data.toList().value(1).toInt());
    for (auto& [folder, list] : m_lists) list->Reload();
    m_pStack->setCurrentWidget(CurrentList());
}

void CMainFrame::UpdateCommands() {
    bool busy = Busy();
    for (QAction* a : m_actions) a->setEnabled(!busy);
    m_pFolderBox->setEnabled(!busy);
}

void CMainFrame::OnTick() {
    bool busy = Busy();
    if (busy) {
        m_nFrame = m_nFrame == 1 ? 2 : 1;
        m_pIndicator->setPixmap(SyncImage(m_nFrame));
    } else if (m_nFrame != 0) {
        m_nFrame = 0;
        m_pIndicator->setPixmap(SyncImage(0));
    }
    if (busy != m_bWasBusy) {
        // An automatic session began or ended: the lists show what it left.
        m_bWasBusy = busy;
        if (!busy) m_pReading->hide();
        UpdateCommands();
        if (!busy && !m_bOwnSync) RefreshView();
    }
}

void CMainFrame::SynchronizeSms() {
    bool expected = false;
    if (!m_doc.Flags().m_bBusy.compare_exchange_strong(expected, true)) return;
    // No automatic session may start while this one runs.
    m_doc.Flags().m_bIdle = false;
    m_doc.Flags().m_bSessionRunning = true;
    m_bOwnSync = true;
    m_bWasBusy = true;
    UpdateCommands();
    m_nFrame = 1;
    m_pIndicator->setPixmap(SyncImage(1));
    m_syncThread = ce::StartThread(
        [this] {
            m_doc.SynchronizeSms();
            QMetaObject::invokeMethod(this, [this] { OnSyncDone(); }, Qt::QueuedConnection);
        },
        ce::THREAD_PRIORITY_IDLE);
}

void CMainFrame::OnSyncDone() {
    if (m_syncThread.joinable()) m_syncThread.join();
    m_doc.Flags().m_bSessionRunning = false;
    m_doc.Flags().m_bIdle = true;
    m_doc.Flags().m_bBusy = false;
    m_bOwnSync = false;
    m_bWasBusy = false;
    m_nFrame = 0;
    m_pIndicator->setPixmap(SyncImage(0));
    m_pProgress->setValue(0);
    m_pReading->hide();
    UpdateCommands();
    RefreshView();
    std::u16string errors = m_doc.Errors().Take();
    if (!errors.empty()) CMessageBoxes::Show(this, Q(errors));
    emit SyncFinished();
}

std::vector<CSmsMessage*> CMainFrame::Chosen() const {
    auto ticked = CurrentList()->Model()->Ticked();
    if (!ticked.empty()) return ticked;
    if (CSmsMessage* m = CurrentList()->Current()) return {m};
    return {};
}

CSmsEditorDlg* CMainFrame::OpenEditor(int mode, CSmsMessage* msg, const QString& recipients,
                                      const QString& text) {
    auto* dlg = new CSmsEditorDlg(m_doc, mode, msg, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    if (!recipients.isEmpty()) dlg->SetRecipients(recipients);
    if (!text.isEmpty()) dlg->SetText(text);
    connect(dlg, &CSmsEditorDlg::StoreChanged, this, &CMainFrame::RefreshView);
    m_pLastEditor = dlg;
    dlg->show();
    return dlg;
}

void CMainFrame::NewSms(const QString& recipients) {
    if (Busy()) return;
    OpenEditor(EDIT_NEW, nullptr, recipients);
}

void CMainFrame::AnswerSms() {
    if (Busy()) return;
    CSmsMessage* m = CurrentList()->Current();
    if (!m) {
        CMessageBoxes::Show(this, kSelectFirst);
        return;
    }
    OpenEditor(EDIT_NEW, nullptr, Q(m->m_strNumber));
}

void CMainFrame::ForwardSms() {
    if (Busy()) return;
    CSmsMessage* m = CurrentList()->Current();
    if (!m) {
        CMessageBoxes::Show(this, kSelectFirst);
        return;
    }
    OpenEditor(EDIT_NEW, nullptr, {}, Q(m->m_strText));
}

void CMainFrame::OpenMessage(int sourceRow) {
    if (Busy()) return;
    CMessageList* list = CurrentList();
    CSmsMessage* m = list->Model()->Message(sourceRow);
    if (!m) return;
    if (m->m_nState == SMS_UNREAD) {
        m->m_nState = SMS_READ;
        m_doc.Store().WriteMessage(*m);
        list->Model()->RowChanged(sourceRow);
    }
    OpenEditor(CurrentFolder(), m);
}

CSmsEditorDlg* CMainFrame::LastEditor() const {
    return static_cast<CSmsEditorDlg*>(m_pLastEditor.data());
}

QAction* CMainFrame::RunMenu(QMenu& menu, const QPoint& pos) { return m_menuRunner(menu, pos); }

void CMainFrame::DeleteSms() {
    if (Busy()) return;
    auto msgs = Chosen();
    if (msgs.empty()) return;
    int where = 0;
    int folder = CurrentFolder();
    if (folder == FOLDER_INBOX || folder == FOLDER_SENT) {
        QMenu menu(this);
        const char* texts[] = {"Delete from Pocket PC only", "Delete from mobile phone only",
                               "Delete from both"};
        for (int i = 0; i < 3; ++i) menu.addAction(texts[i])->setData(99 - i);
        QAction* chosen = RunMenu(menu, mapToGlobal(kDeleteMenuPos));
        if (!chosen) return;
        where = 99 - chosen->data().toInt();  // 99, 98, 97: Pocket PC, phone, both
    }
    CWaitCursor wait;
    for (CSmsMessage* m : msgs) {
        // Only a message that came from the phone can be deleted there.
        int mode = where;
        if (m->m_nIndex < 0) {
            if (where == 1) continue;
            mode = 0;
        }
        if (!m_doc.DeleteMessage(*m, mode)) break;
    }
    RefreshView();
}

void CMainFrame::BuildMoveMenu(QMenu& menu, int sourceRow) {
    CMessageModel* model = CurrentList()->Model();
    bool ticked = !model->Ticked().empty();
    if (!ticked && !model->Message(sourceRow)) return;
    int base = ticked ? kTickedMoveBase : kSingleMoveBase;
    menu.setTitle(ticked ? "Move selected messages to..." : "Move the SMS message to...");
    menu.addSection(menu.title());
    for (auto [code, folder] : SystemMoveCodes()) {
        if (folder == FOLDER_RECYCLE_BIN) {
            for (const CUserFolder& u : m_userFolders)
                menu.addAction(Q(u.m_strName))->setData(base + u.m_nId);
        }
        menu.addAction(FolderName(folder))->setData(base + code);
    }
}

void CMainFrame::MoveMessages(const std::vector<CSmsMessage*>& msgs, int code) {
    CWaitCursor wait;
    for (CSmsMessage* m : msgs) {
        m->m_bMarked = false;
        if (!m_doc.Store().MoveMessage(*m, code)) break;
    }
    RefreshView();
}

void CMainFrame::MoveToFolder() {
    if (Busy()) return;
    auto msgs = Chosen();
    if (msgs.empty()) {
        CMessageBoxes::Show(this, kSelectFirst);
        return;
    }
    CDestinationDlg dlg(m_userFolders, this);
    if (dlg.exec() != QDialog::Accepted || dlg.Code() == 0) return;
    MoveMessages(msgs, dlg.Code());
}

void CMainFrame::ShowFolders() {
    if (Busy()) return;
    CFoldersDlg dlg(m_doc.Store(), m_ui, this);
    dlg.exec();
    ReloadFolders();
    RefreshView();
}

void CMainFrame::ShowOptions() {
    if (Busy()) return;
    COptionsDlg dlg(m_doc, m_ui, this);
    dlg.exec();
}

void CMainFrame::ClearMemory(bool bSim) {
    if (Busy()) return;
    QString question = bSim ? "Delete ALL SMS messages from SIM?"
                            : "Delete ALL SMS messages from Mobile Phone?";
    if (!CMessageBoxes::Ask(this, question, true)) return;
    m_doc.RequestDeleteAll(bSim);
    CMessageBoxes::Show(this, "OK, click the 'sync' button on the toolbar to delete the sms messages.");
}

void CMainFrame::EmptyRecycleBin() {
    if (Busy()) return;
    CWaitCursor wait;
    m_doc.Store().Purge();
    RefreshView();
}

void CMainFrame::ShowSmsService() {
    if (Busy()) return;
    CSmsServiceDlg dlg(m_doc, this);
    connect(&dlg, &CSmsServiceDlg::StoreChanged, this, &CMainFrame::RefreshView);
    dlg.exec();
}

void CMainFrame::ShowPhonebook() {
    if (Busy()) return;
    CPhonebookDlg dlg(m_doc, this);
    connect(&dlg, &CPhonebookDlg::SendRequested, this, [this](const QString& number) {
        OpenEditor(EDIT_NEW, nullptr, number);
    });
    dlg.exec();
}

void CMainFrame::ShowGroups() {
    if (Busy()) return;
    CGroupsDlg dlg(m_doc, this);
    dlg.exec();
}

void CMainFrame::TakeRecipients(const QString& recipients) {
    if (Busy()) {
        CMessageBoxes::Show(this, "New SMS could not be created, because of the synchronization "
                                  "is still in progress.");
        return;
    }
    showNormal();
    raise();
    activateWindow();
    NewSms(recipients);
}

void CMainFrame::Exit() {
    if (Busy()) return;
    m_bExiting = true;
    close();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // Closing the frame is Exit: refused while a session works.
    if (Busy()) {
        e->ignore();
        return;
    }
    m_timer.stop();
    m_doc.StopAutoSync();
    e->accept();
}

}  // namespace kvo::ui
