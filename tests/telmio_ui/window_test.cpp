// The main window against the real core: commands while a synchronisation runs, the lists'
// touch behaviour, Delete and the move menus.
#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <QProcess>
#include <filesystem>

#include "common/install_dir.h"
#include "platform/device.h"
#include "telmio/session/handoff.h"
#include "telmio/sms/sms_folders.h"
#include "telmio/ui/single_instance.h"
#include "telmio/ui/sms_editor.h"
#include "tests/telmio_ui/ui_fixture.h"

namespace fs = std::filesystem;

namespace kvo::ui::test {
namespace {

QPoint CellCentre(CMessageList* list, int shownRow, int column) {
    return list->visualRect(list->model()->index(shownRow, column)).center();
}

std::vector<QString> Column(CMessageList* list, int column) {
    std::vector<QString> out;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        out.push_back(list->model()->index(r, column).data().toString());
    return out;
}

TEST_F(WindowTest, SynchronisingDisablesEveryCommandAndFillsTheInboxWhenItEnds) {
    StartPhone();
    CMainFrame& frame = Frame();
    EXPECT_EQ(frame.windowTitle(), "kvo SMS");
    EXPECT_EQ(frame.List(FOLDER_INBOX)->model()->rowCount(), 0);
    QSignalSpy done(&frame, &CMainFrame::SyncFinished);
    frame.SynchronizeSms();
    // The end is reported through the event loop, so until it runs the session is on.
    ASSERT_TRUE(frame.Busy());
    for (int c = 0; c < CMainFrame::CMD_COUNT; ++c)
        EXPECT_FALSE(frame.Action(CMainFrame::Command(c))->isEnabled()) << c;
    EXPECT_FALSE(frame.FolderBox()->isEnabled());
    frame.Exit();  // refused while busy
    EXPECT_TRUE(frame.isVisible());
    frame.NewSms();  // ignored
    EXPECT_EQ(frame.LastEditor(), nullptr);
    ASSERT_TRUE(done.wait(120000));
    EXPECT_FALSE(frame.Busy());
    for (int c = 0; c < CMainFrame::CMD_COUNT; ++c)
        EXPECT_TRUE(frame.Action(CMainFrame::Command(c))->isEnabled()) << c;
    EXPECT_EQ(frame.IndicatorFrame(), 0);
    EXPECT_FALSE(frame.ReadingProgress()->isVisible());
    EXPECT_EQ(frame.List(FOLDER_INBOX)->model()->rowCount(), 3);
    EXPECT_TRUE(Shown().empty()) << Shown().front().toStdString();
    frame.Exit();
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(WindowTest, ToolbarHasSevenButtonsWithTheirTooltipsAndTheListsTheirColumns) {
    CMainFrame& frame = Frame();
    const char* tips[] = {"New SMS", "Answer SMS", "Forward SMS", "Delete SMS",
                          "Synchronize SMS", "Move to folder", "Exit"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(frame.Action(CMainFrame::Command(i))->toolTip(), tips[i]);
    auto headers = [&](int folder) {
        QStringList out;
        auto* m = frame.List(folder)->model();
        for (int c = 1; c < m->columnCount(); ++c) out << m->headerData(c, Qt::Horizontal).toString();
        return out.join(",");
    };
    EXPECT_EQ(headers(FOLDER_INBOX), "From,Time,Message");
    EXPECT_EQ(headers(FOLDER_SENT), "To,Time,Message");
    EXPECT_EQ(headers(FOLDER_TEMPLATES), "Time,Message");
    EXPECT_EQ(headers(FOLDER_RECYCLE_BIN), "Number,Time,Message");
    EXPECT_EQ(frame.List(FOLDER_INBOX)->columnWidth(0), 20);
    EXPECT_EQ(frame.List(FOLDER_INBOX)->columnWidth(1), 80);
    EXPECT_EQ(frame.FolderBox()->currentText(), "Inbox");
}

TEST_F(WindowTest, TickTickAllSortAndReverse) {
    AddMessage(SMS_READ, u"+4930222", u"bravo", 3);
    AddMessage(SMS_READ, u"+4930111", u"charlie", 1);
    AddMessage(SMS_UNREAD, u"+4930333", u"alpha", 2);
    CMessageList* list = Frame().List(FOLDER_INBOX);
    list->resize(240, 200);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, 1, 0));
    ASSERT_EQ(list->Model()->Ticked().size(), 1u);
    EXPECT_EQ(list->Model()->Ticked()[0]->m_strText, u"charlie");
    list->HeaderTapped(0);
    EXPECT_EQ(list->Model()->Ticked().size(), 3u);
    list->HeaderTapped(0);
    EXPECT_TRUE(list->Model()->Ticked().empty());

    list->HeaderTapped(3);  // Message
    EXPECT_EQ(Column(list, 3), (std::vector<QString>{"alpha", "bravo", "charlie"}));
    list->HeaderTapped(3);
    EXPECT_EQ(Column(list, 3), (std::vector<QString>{"charlie", "bravo", "alpha"}));
    list->HeaderTapped(2);  // another header starts ascending: by time
    EXPECT_EQ(Column(list, 3), (std::vector<QString>{"charlie", "alpha", "bravo"}));
    list->HeaderTapped(1);
    EXPECT_EQ(Column(list, 1), (std::vector<QString>{"+4930111", "+4930222", "+4930333"}));
}

TEST_F(WindowTest, DoubleTapOpensTheMessageMarksItReadAndChangesTheImage) {
    CSmsMessage& m = AddMessage(SMS_UNREAD, u"+4930333", u"unread one", 2);
    CMessageList* list = Frame().List(FOLDER_INBOX);
    list->resize(240, 200);
    auto image = [&] { return list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(); };
    EXPECT_EQ(image(), "unread");
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, 0, 2));
    EXPECT_EQ(m.m_nState, SMS_READ);
    EXPECT_EQ(image(), "read");
    ASSERT_NE(Frame().LastEditor(), nullptr);
    EXPECT_EQ(Frame().LastEditor()->Mode(), FOLDER_INBOX);
    EXPECT_TRUE(Frame().LastEditor()->Text()->isReadOnly());
    // The change is in the file, not only on the screen.
    CSilentUi silent;
    CSmsStore reread(silent);
    ASSERT_TRUE(reread.LoadStore());
    ASSERT_EQ(reread.Messages().size(), 1u);
    EXPECT_EQ(reread.Messages()[0]->m_nState, SMS_READ);
}

TEST_F(WindowTest, MoveMenuCarriesTheItemIdentifiersAndMoves) {
    AddMessage(SMS_READ, u"+4930111", u"one", 1);
    CSmsMessage& two = AddMessage(SMS_READ, u"+4930222", u"two", 2);
    CMainFrame& frame = Frame();
    CMessageList* list = frame.List(FOLDER_INBOX);
    std::vector<int> ids;
    QString title;
    frame.SetMenuRunner([&](QMenu& menu, const QPoint&) -> QAction* {
        ids.clear();
        title = menu.title();
        QAction* draft = nullptr;
        for (QAction* a : menu.actions()) {
            if (a->isSeparator()) continue;
            ids.push_back(a->data().toInt());
            if (a->text() == "Draft") draft = a;
        }
        return draft;
    });
    int row = list->Model()->Message(0) == &two ? 0 : 1;
    emit list->MoveMenuRequested(QPoint(), row);
    EXPECT_EQ(title, "Move the SMS message to...");
    EXPECT_EQ(ids, (std::vector<int>{7024 + MOVE_INBOX, 7024 + MOVE_OUTBOX, 7024 + MOVE_SENT,
                                     7024 + MOVE_DRAFT, 7024 + MOVE_TEMPLATES,
                                     7024 + MOVE_RECYCLE_BIN}));
    EXPECT_EQ(two.m_nState, SMS_DRAFT);
    EXPECT_EQ(list->model()->rowCount(), 1);

    list->Model()->SetTicked(0, true);
    emit list->MoveMenuRequested(QPoint(), -1);
    EXPECT_EQ(title, "Move selected messages to...");
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.front(), 3024 + MOVE_INBOX);
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(frame.List(FOLDER_DRAFT)->model()->rowCount(), 2);
}

TEST_F(WindowTest, DeleteAsksWhereOnlyInInboxAndSent) {
    CSmsMessage& draft = AddMessage(SMS_DRAFT, u"+4930111", u"draft", 1);
    CSmsMessage& phoneMsg = AddMessage(SMS_READ, u"+4930222", u"on the phone", 2, 4);
    CMainFrame& frame = Frame();
    std::vector<QStringList> menus;
    QString choose;
    frame.SetMenuRunner([&](QMenu& menu, const QPoint&) -> QAction* {
        QStringList texts;
        QAction* chosen = nullptr;
        for (QAction* a : menu.actions()) {
            texts << a->text();
            if (a->text() == choose) chosen = a;
        }
        menus.push_back(texts);
        return chosen;
    });
    ASSERT_TRUE(frame.SelectFolder("Draft"));
    frame.CurrentList()->setCurrentIndex(frame.CurrentList()->model()->index(0, 1));
    frame.DeleteSms();
    EXPECT_TRUE(menus.empty());
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(draft.m_nState, SMS_DELETED);

    ASSERT_TRUE(frame.SelectFolder("Inbox"));
    frame.CurrentList()->setCurrentIndex(frame.CurrentList()->model()->index(0, 1));
    choose = "";  // dismissed: nothing happens
    frame.DeleteSms();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0], (QStringList{"Delete from Pocket PC only", "Delete from mobile phone only",
                                     "Delete from both"}));
    EXPECT_EQ(phoneMsg.m_nState, SMS_READ);
    choose = "Delete from both";
    frame.DeleteSms();
    EXPECT_EQ(phoneMsg.m_nState, SMS_DELETED);
    int onPhone = 0;
    for (auto& m : frame.Doc().Store().Messages())
        if (m->m_nState == SMS_DELETE_ON_PHONE && m->m_nIndex == 4) ++onPhone;
    EXPECT_EQ(onPhone, 1);
}

TEST_F(WindowTest, AnswerAndForwardNeedAMessage) {
    CMainFrame& frame = Frame();
    frame.AnswerSms();
    frame.ForwardSms();
    EXPECT_EQ(Shown(), (std::vector<QString>{kSelectFirst, kSelectFirst}));
    EXPECT_EQ(frame.LastEditor(), nullptr);
    AddMessage(SMS_READ, u"+4930222", u"question?", 2);
    frame.CurrentList()->setCurrentIndex(frame.CurrentList()->model()->index(0, 1));
    frame.AnswerSms();
    ASSERT_NE(frame.LastEditor(), nullptr);
    EXPECT_EQ(frame.LastEditor()->Mode(), EDIT_NEW);
    EXPECT_EQ(frame.LastEditor()->Phone()->text(), "+4930222");
    EXPECT_TRUE(frame.LastEditor()->Text()->toPlainText().isEmpty());
    frame.ForwardSms();
    EXPECT_TRUE(frame.LastEditor()->Phone()->text().isEmpty());
    EXPECT_EQ(frame.LastEditor()->Text()->toPlainText(), "question?");
}

TEST_F(WindowTest, HandedOverRecipientsOpenTheEditorUnlessBusy) {
    CMainFrame& frame = Frame();
    frame.TakeRecipients("+4930111;+4930222");
    ASSERT_NE(frame.LastEditor(), nullptr);
    EXPECT_EQ(frame.LastEditor()->Phone()->text(), "+4930111;+4930222");
    frame.LastEditor()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frame.Doc().Flags().m_bBusy = true;
    frame.TakeRecipients("+4930333");
    frame.Doc().Flags().m_bBusy = false;
    EXPECT_EQ(frame.LastEditor(), nullptr);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_TRUE(Shown()[0].startsWith("New SMS could not be created"));
}

}  // namespace
}  // namespace kvo::ui::test

namespace kvo::ui::test {
namespace {

// Two telmio processes on one device: the second hands its recipients over and ends.
TEST_F(WindowTest, SecondTelmioHandsItsRecipientsToTheRunningOne) {
    const QString bin = QString(KVO_BINARY_DIR) + "/bin/telmio";
    const QString device = QString::fromStdString(m_device.Root().string());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(bin, {"--device", device});
    ASSERT_TRUE(first.waitForStarted(20000));
    // The first one is up once it answers.
    bool up = false;
    for (int i = 0; i < 300 && !up; ++i) {
        up = CSingleInstance::WakeRunning(200);
        if (!up) QTest::qWait(100);
    }
    ASSERT_TRUE(up) << first.readAllStandardError().toStdString();
    auto runSecond = [&](QStringList args) {
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(bin, QStringList{"--device", device} + args);
        EXPECT_TRUE(second.waitForFinished(30000));
        EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    };
    // Some "newsms.tmp" anywhere on the device: the running one has not taken it (yet).
    auto handoffLeft = [&] {
        for (int i = 0; i < 300; ++i) {
            bool found = false;
            std::error_code ec;
            for (auto it = fs::recursive_directory_iterator(m_device.Root(), ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                found = found || it->path().filename() == "newsms.tmp";
            if (!found) return false;
            QTest::qWait(100);
        }
        return true;
    };
    // As the contacts command does it: the file, then a telmio without recipients.
    ASSERT_TRUE(WriteHandoffFile(GetInstallDir(), u"+4930333"));
    ASSERT_TRUE(fs::exists(ce::MapPath(InstallPath(kHandoffFile))));
    runSecond({});
    EXPECT_FALSE(handoffLeft());
    // Recipients on the command line travel the same way.
    runSecond({"+4930111;+4930222"});
    EXPECT_FALSE(handoffLeft());
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    if (!first.waitForFinished(10000)) first.kill();
    first.waitForFinished(5000);
}

}  // namespace
}  // namespace kvo::ui::test
