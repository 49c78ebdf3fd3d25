// The editor, Options, Folders and Select the phone number against the real core; and the
// pictures of every window, written under the build folder for a person to look at.
#include <QDir>
#include <QTest>

#include "telmio/contacts/groups.h"
#include "telmio/settings/client_settings.h"
#include "telmio/sms/sms_folders.h"
#include "telmio/ui/folders_dlg.h"
#include "telmio/ui/options_dlg.h"
#include "telmio/ui/screenshot.h"
#include "telmio/ui/select_number_dlg.h"
#include "telmio/ui/sms_editor.h"
#include "tests/telmio_ui/ui_fixture.h"

namespace kvo::ui::test {
namespace {

std::vector<CSmsMessage*> InState(CTelmioDoc& doc, int state) {
    std::vector<CSmsMessage*> out;
    for (auto& m : doc.Store().Messages())
        if (m->m_nState == state) out.push_back(m.get());
    return out;
}

TEST_F(WindowTest, EditorCountsMessagesOf154CharactersAndSendFollowsTextAndRecipients) {
    CSmsEditorDlg* ed = Frame().OpenEditor(EDIT_NEW, nullptr);
    EXPECT_EQ(ed->SmsCount()->text(), "1");  // empty
    EXPECT_FALSE(ed->SendButton()->isEnabled());
    ed->SetText(QString(154, 'a'));
    EXPECT_EQ(ed->CharCount()->text(), "154");
    EXPECT_EQ(ed->SmsCount()->text(), "1");
    EXPECT_FALSE(ed->SendButton()->isEnabled()) << "no recipient yet";
    QTest::keyClick(ed->Text(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(ed->Text(), "b");
    EXPECT_EQ(ed->CharCount()->text(), "155");
    EXPECT_EQ(ed->SmsCount()->text(), "2");
    QTest::keyClicks(ed->Phone(), "+49 30");  // a blank is no number
    EXPECT_FALSE(ed->SendButton()->isEnabled());
    ed->Phone()->setText("+4930111;;+4930222");
    EXPECT_TRUE(ed->SendButton()->isEnabled());
    EXPECT_TRUE(ed->SendNowButton()->isEnabled());
    ed->SetText("");
    EXPECT_FALSE(ed->SendNowButton()->isEnabled());
    ed->SetText("line one\nline two");
    ed->Send();
    auto outbox = InState(*m_pDoc, SMS_OUTBOX);
    ASSERT_EQ(outbox.size(), 2u);
    EXPECT_EQ(outbox[0]->m_strNumber, u"+4930111");
    EXPECT_EQ(outbox[1]->m_strNumber, u"+4930222");
    EXPECT_EQ(outbox[0]->m_strText, u"line one\r\nline two");
    EXPECT_EQ(Frame().List(FOLDER_OUTBOX)->model()->rowCount(), 2);
}

TEST_F(WindowTest, EditorModesShowTheirButtons) {
    auto msg = std::make_unique<CSmsMessage>();
    msg->m_nState = SMS_DRAFT;
    msg->m_strNumber = u"+4930111";
    msg->m_strText = u"draft text";
    Frame();
    CSmsMessage& draft = m_pDoc->Store().AddMessage(std::move(msg));
    auto* inbox = Frame().OpenEditor(FOLDER_INBOX, &draft);
    EXPECT_TRUE(inbox->SendButton()->isHidden());
    EXPECT_TRUE(inbox->SelectButton()->isHidden());
    EXPECT_FALSE(inbox->ReplyButton()->isHidden());
    EXPECT_TRUE(inbox->Phone()->isReadOnly());
    auto* outbox = Frame().OpenEditor(FOLDER_OUTBOX, &draft);
    EXPECT_EQ(outbox->DraftButton()->text(), "Save");
    EXPECT_FALSE(outbox->PushBox()->isHidden());
    EXPECT_FALSE(outbox->PushBox()->isEnabled());
    auto* templ = Frame().OpenEditor(FOLDER_TEMPLATES, &draft);
    EXPECT_TRUE(templ->ForwardButton()->isHidden());
    auto* fresh = Frame().OpenEditor(EDIT_NEW, nullptr);
    EXPECT_TRUE(fresh->ReplyButton()->isHidden());
    EXPECT_FALSE(fresh->PushBox()->isHidden());

    // Mode 4: Send queues the text and the draft goes to the Recycle Bin.
    auto* ed = Frame().OpenEditor(FOLDER_DRAFT, &draft);
    EXPECT_EQ(ed->DraftButton()->text(), "Save");
    ed->Send();
    EXPECT_EQ(draft.m_nState, SMS_DELETED);
    ASSERT_EQ(InState(*m_pDoc, SMS_OUTBOX).size(), 1u);
    // Reply and Forward of an editor without a message say so.
    fresh->Reply();
    fresh->Forward();
    EXPECT_EQ(Shown(), (std::vector<QString>{kSelectFirst, kSelectFirst}));
}

TEST_F(WindowTest, EditorDraftAndTemplateStoreNewMessagesAndSaveUpdatesTheOpenOne) {
    auto* ed = Frame().OpenEditor(EDIT_NEW, nullptr, "+4930111", "keep me");
    ed->Draft();
    auto drafts = InState(*m_pDoc, SMS_DRAFT);
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0]->m_strNumber, u"+4930111");
    auto* again = Frame().OpenEditor(FOLDER_DRAFT, drafts[0]);
    again->SetText("changed");
    again->Draft();
    ASSERT_EQ(InState(*m_pDoc, SMS_DRAFT).size(), 1u);
    EXPECT_EQ(drafts[0]->m_strText, u"changed");
    Frame().OpenEditor(EDIT_NEW, nullptr, {}, "a template")->Template();
    auto templates = InState(*m_pDoc, SMS_TEMPLATE);
    ASSERT_EQ(templates.size(), 1u);
    EXPECT_TRUE(templates[0]->m_strNumber.empty());
}

TEST_F(WindowTest, EditorSendNowReachesThePhone) {
    StartPhone();
    auto* ed = Frame().OpenEditor(EDIT_NEW, nullptr, "+491711234567", "right now");
    ed->SendNow();
    EXPECT_EQ(Shown(), (std::vector<QString>{kSentOk}));
    auto sent = InState(*m_pDoc, SMS_SENT);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]->m_strText, u"right now");
    EXPECT_EQ(Frame().List(FOLDER_SENT)->model()->rowCount(), 1);
}

TEST_F(WindowTest, OptionsRulesAndSaving) {
    Frame();
    CBoxUi box(nullptr);
    COptionsDlg dlg(*m_pDoc, box, [](std::u16string_view p) { return p == u"COM5:"; }, nullptr);
    EXPECT_FALSE(dlg.AutoSync()->isChecked());
    EXPECT_FALSE(dlg.Minutes()->isEnabled());
    EXPECT_EQ(dlg.Minutes()->maxLength(), 5);
    EXPECT_FALSE(dlg.Centre()->isEnabled());
    EXPECT_FALSE(dlg.Port()->isEnabled());
    dlg.UsePort()->setChecked(true);
    EXPECT_TRUE(dlg.Port()->isEnabled());
    EXPECT_GE(dlg.Port()->findText("COM5:"), 0);
    EXPECT_LT(dlg.Port()->findText("COM6:"), 0) << "a port that cannot be opened is listed";
    dlg.UsePort()->setChecked(false);

    dlg.AutoSync()->setChecked(true);
    EXPECT_TRUE(dlg.Minutes()->isEnabled());
    dlg.Minutes()->setText("1");
    EXPECT_FALSE(dlg.SaveButton()->isEnabled());
    dlg.Minutes()->setText("2");
    EXPECT_TRUE(dlg.SaveButton()->isEnabled());
    dlg.OwnCentre()->setChecked(true);
    EXPECT_TRUE(dlg.Centre()->isEnabled());
    dlg.Centre()->setText("");
    EXPECT_FALSE(dlg.SaveButton()->isEnabled());
    dlg.Centre()->setText("+49 171");
    EXPECT_FALSE(dlg.SaveButton()->isEnabled());
    dlg.Centre()->setText("+491710760000");
    EXPECT_TRUE(dlg.SaveButton()->isEnabled());
    dlg.Phonebook()->setCurrentIndex(1);  // "Phone"
    dlg.AutoSync()->setChecked(false);  // the period no longer matters
    dlg.Minutes()->setText("1");
    EXPECT_TRUE(dlg.SaveButton()->isEnabled());
    dlg.Minutes()->setText("15");
    ASSERT_TRUE(dlg.Save());

    CClientSettings reread;
    ASSERT_TRUE(reread.LoadSettings());
    EXPECT_EQ(reread.m_ini.m_nInterval, 15);
    EXPECT_TRUE(reread.m_ini.m_bOwnCentre);
    EXPECT_EQ(reread.m_ini.m_strCentreNumber, u"+491710760000");
    EXPECT_EQ(reread.m_pb.m_nStorages, 2u * kPbStorageSim);

    // A stored period below 2 minutes is shown as 60.
    m_pDoc->Settings().m_ini.m_nInterval = 1;
    COptionsDlg shown(*m_pDoc, box, [](std::u16string_view) { return false; }, nullptr);
    EXPECT_EQ(shown.Minutes()->text(), "60");
}

TEST_F(WindowTest, FoldersDialogMessagesAndTheNewFolderInTheDropDown) {
    CMainFrame& frame = Frame();
    CFoldersDlg dlg(m_pDoc->Store(), *m_pUi, nullptr);
    dlg.DeleteFolder();
    dlg.NameBox()->setText("  Family ");
    dlg.Add();
    EXPECT_TRUE(dlg.NameBox()->text().isEmpty());
    ASSERT_EQ(dlg.Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(dlg.Tree()->topLevelItem(0)->text(0), "Family");
    dlg.NameBox()->setText("Family");
    dlg.Add();
    EXPECT_EQ(Shown(), (std::vector<QString>{"Select a folder please.", "The folder already exists."}));
    int id = dlg.Folders()[0].m_nId;

    frame.RefreshView();
    CSmsMessage& m = AddMessage(SMS_READ, u"+4930111", u"for the family", 1);
    ASSERT_TRUE(m_pDoc->Store().MoveMessage(m, id));
    frame.ReloadFolders();
    ASSERT_TRUE(frame.SelectFolder("Family"));
    EXPECT_EQ(frame.CurrentFolder(), FOLDER_USER);
    EXPECT_EQ(frame.CurrentList()->model()->rowCount(), 1);
    EXPECT_EQ(frame.FolderBox()->itemText(frame.FolderBox()->count() - 1), "Recycle Bin");
}

TEST_F(WindowTest, SelectTheNumberBuildsGroupThenContactsThenPhonebook) {
    Frame();
    CPhonebook pb;
    auto add = [&](const char16_t* name, const char16_t* number, uint32_t index) {
        auto e = std::make_unique<CPhonebookEntry>();
        e->m_strName = name;
        e->m_strNumber = number;
        e->m_nId = STORAGE_SIM | index;
        pb.Append(std::move(e));
    };
    add(u"bob", u"+4930002", 1);
    add(u"Alice", u"+4930001", 2);
    add(u"Carl", u"", 3);
    CBoxUi box(nullptr);
    CAddressBook book(*m_pDoc, box);
    ASSERT_TRUE(SavePhonebookFile(book.PhonebookFile(), pb));
    ASSERT_TRUE(CreateGroup(book.AppDir(), u"Team"));
    CGroupMemberList members;
    CGroupMember member;
    member.m_strSource = book.PhoneId();
    member.m_nId = STORAGE_SIM | 1;
    member.m_strName = u"bob";
    members.push_back(std::make_unique<CGroupMember>(member));
    ASSERT_GT(WriteGroup(members, GroupPath(book.AppDir(), u"Team")), 0);

    CSelectNumberDlg dlg(*m_pDoc, nullptr);
    QTreeWidget* list = dlg.PhonebookList();
    ASSERT_EQ(list->topLevelItemCount(), 2) << "an entry without a number is listed";
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Alice");  // sorted without regard to case
    EXPECT_EQ(list->topLevelItem(1)->text(0), "bob");
    EXPECT_EQ(dlg.GroupBox()->itemText(0), "None");
    EXPECT_TRUE(dlg.BuildResult().isEmpty());
    ASSERT_GE(dlg.GroupBox()->findText("Team"), 1);
    dlg.GroupBox()->setCurrentIndex(dlg.GroupBox()->findText("Team"));
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(dlg.BuildResult(), "+4930002;+4930001");
    dlg.Tabs()->setCurrentIndex(1);
    dlg.SearchBox()->setText("BO");
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
}

TEST_F(WindowTest, PicturesOfTheWindowAndItsDialogs) {
    AddMessage(SMS_UNREAD, u"+491711234567", u"Good morning from Anna", 8);
    AddMessage(SMS_READ, u"+4930123456", u"Meeting moved to 10:00.", 7);
    QDir().mkpath(KVO_SCREENSHOT_DIR);
    int written = 0;
    std::vector<std::string> names = {""};
    for (const auto& d : ScreenshotDialogs()) names.push_back(d);
    for (const std::string& name : names) {
        QPixmap pm;
        std::string error;
        if (!GrabWindow(Frame(), "", name, pm, error)) {
            EXPECT_NE(error.find("not part of this build"), std::string::npos) << error;
            continue;
        }
        EXPECT_GE(pm.width(), 200) << name;
        QString file = QString(KVO_SCREENSHOT_DIR) + "/" +
                       QString::fromStdString(name.empty() ? "main" : name) + ".png";
        EXPECT_TRUE(pm.save(file)) << file.toStdString();
        ++written;
    }
    EXPECT_GE(written, 5);
}

}  // namespace
}  // namespace kvo::ui::test
