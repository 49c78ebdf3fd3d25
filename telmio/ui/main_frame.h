// The frame "kvo SMS": menu, toolbar, the form view with its folder drop-down and one list per
// kind of folder, the progress bar and the synchronisation indicator.
#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>
#include <functional>
#include <map>
#include <thread>

#include "telmio/session/telmio_doc.h"
#include "telmio/sms/user_folders.h"
#include "telmio/ui/message_list.h"
#include "telmio/ui/window_ui.h"

class QAction;
class QMenu;

namespace kvo::ui {

class CSmsEditorDlg;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CTelmioDoc& doc, CWindowUi& ui, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Commands of the menu and the toolbar, each disabled while a synchronisation runs.
    enum Command {
        CMD_NEW, CMD_ANSWER, CMD_FORWARD, CMD_DELETE, CMD_SYNC, CMD_MOVE, CMD_EXIT,
        CMD_DIALER, CMD_FOLDERS, CMD_OPTIONS, CMD_GROUPS, CMD_PHONEBOOK, CMD_CLEAR_PHONE,
        CMD_CLEAR_SIM, CMD_EMPTY_BIN, CMD_COUNT
    };
    QAction* Action(Command c) const { return m_actions[c]; }
    bool Busy() const { return m_doc.Flags().m_bBusy; }

    // The drop-down: standard folders, user folders, then "SMS Service". Selecting an entry
    // shows its list.
    QComboBox* FolderBox() const { return m_pFolderBox; }
    bool SelectFolder(const QString& name);
    int CurrentFolder() const;  // view folder of sms_folders.h
    CMessageList* CurrentList() const;
    CMessageList* List(int folder) const { return m_lists.at(folder); }
    QLabel* SyncIndicator() const { return m_pIndicator; }
    QDialog* ReadingProgress() const { return m_pReading; }
    int IndicatorFrame() const { return m_nFrame; }
    CTelmioDoc& Doc() { return m_doc; }
    void RefreshView();
    // Takes the user folders into the drop-down again.
    void ReloadFolders();

    // The menu runner: shows a popup menu and returns the chosen action. Tests replace it.
    using MenuRunner = std::function<QAction*(QMenu&, const QPoint&)>;
    void SetMenuRunner(MenuRunner runner) { m_menuRunner = std::move(runner); }
    // The move menu for the ticked messages, else for the message in `sourceRow` of the
    // current list; item data are the menu identifiers (3024 or 7024 + folder code).
    void BuildMoveMenu(QMenu& menu, int sourceRow);
    // The last editor the window opened (tests and screenshots look at it).
    CSmsEditorDlg* LastEditor() const;
    // Opens an editor, modeless; `mode` as the editor takes it.
    CSmsEditorDlg* OpenEditor(int mode, CSmsMessage* msg, const QString& recipients = {},
                              const QString& text = {});

public slots:
    void NewSms(const QString& recipients = {});
    void AnswerSms();
    void ForwardSms();
    void DeleteSms();
    void SynchronizeSms();
    void MoveToFolder();
    void Exit();
    void OpenMessage(int sourceRow);
    void ShowFolders();
    void ShowOptions();
    void ShowPhonebook();
    void ShowGroups();
    void ClearMemory(bool bSim);
    void EmptyRecycleBin();
    // A recipients text handed over by another telmio or the hand-off file.
    void TakeRecipients(const QString& recipients);

signals:
    void SyncFinished();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void CreateCommands();
    void CreateView();
    void UpdateCommands();
    void OnTick();
    void OnSyncDone();
    void ShowSmsService();
    void MoveMessages(const std::vector<CSmsMessage*>& msgs, int code);
    QAction* RunMenu(QMenu& menu, const QPoint& pos);
    // The ticked messages of the current list, else its current one.
    std::vector<CSmsMessage*> Chosen() const;

    CTelmioDoc& m_doc;
    CWindowUi& m_ui;
    QAction* m_actions[CMD_COUNT] = {};
    QComboBox* m_pFolderBox = nullptr;
    QStackedWidget* m_pStack = nullptr;
    std::map<int, CMessageList*> m_lists;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pIndicator = nullptr;
    QLabel* m_pStatus = nullptr;
    // "Reading messages": shown while a synchronisation reports its progress.
    QDialog* m_pReading = nullptr;
    QProgressBar* m_pReadingBar = nullptr;
    QTimer m_timer;  // 500 ms: the indicator, and the state of the automatic worker
    int m_nFrame = 0;
    bool m_bWasBusy = false;
    bool m_bOwnSync = false;
    std::thread m_syncThread;
    std::vector<CUserFolder> m_userFolders;
    int m_nLastBoxIndex = 0;
    MenuRunner m_menuRunner;
    QPointer<QObject> m_pLastEditor;  // null once it is gone
    bool m_bExiting = false;
};

// Folder names the drop-down and the move menus show.
QString FolderName(int folder);

}  // namespace kvo::ui
