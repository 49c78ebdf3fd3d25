// The editor, Options, Folders and Select the phone number against the real core; and the
// pictures of every window, written under the build folder for a person to look at.
#include <QDir>
#include <algorithm>
#include <QTest>

#include "telmio/contacts/groups.h"
#include "telmio/settings/client_settings.h"
#include "telmio/sms/sms_folders.h"
#include "telmio/ui/folders_dlg.h"
#include "telmio/ui/groups_dlg.h"
#include "telmio/ui/phonebook_dlg.h"
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
    {
        CBoxUi box(nullptr);
        CAddressBook book(*m_pDoc, box);
        ASSERT_TRUE(CreateGroup(book.AppDir(), u"Family"));
    }
    QDir().mkpath(KVO_SCREENSHOT_DIR);
    int written = 0;
    std::vector<std::string> names = {""};
    for (const auto& d : ScreenshotDialogs()) names.push_back(d);
    for (const std::string& name : names) {
        QPixmap pm;
        std::string error;
        if (!GrabWindow(Frame(), "", name, pm, error)) {
            // A fresh device has no SMS service list.
            EXPECT_EQ(name, "sms-service") << error;
            continue;
        }
        EXPECT_GE(pm.width(), 200) << name;
        QString file = QString(KVO_SCREENSHOT_DIR) + "/" +
                       QString::fromStdString(name.empty() ? "main" : name) + ".png";
        EXPECT_TRUE(pm.save(file)) << file.toStdString();
        ++written;
    }
    EXPECT_EQ(written, 10);
}

CPhonebook SmallPhonebook(int simSlots) {
    CPhonebook pb;
    pb.m_nStorageCount = 2;
    pb.m_storages[0] = {STORAGE_SIM, 1, simSlots, 18, 40};
    pb.m_storages[1] = {STORAGE_PHONE, 1, 100, 10, 20};
    return pb;
}

TEST_F(WindowTest, PhonebookEntryDialogPlacesLimitsAndChecks) {
    Frame();
    CPhonebook pb = SmallPhonebook(1);
    CPhonebookEntryDlg first(pb, STORAGE_SIM | STORAGE_PHONE, nullptr, nullptr);
    EXPECT_EQ(first.Id(), STORAGE_SIM | 1u);
    EXPECT_EQ(first.StorageBox()->currentText(), "SIM");
    EXPECT_TRUE(first.StorageBox()->isEnabled());
    EXPECT_EQ(first.NameBox()->maxLength(), 18);
    EXPECT_EQ(first.NumberBox()->maxLength(), 40);
    EXPECT_FALSE(first.OkButton()->isEnabled());
    first.NameBox()->setText("Anna");
    first.NumberBox()->setText("+49 171");
    EXPECT_FALSE(first.OkButton()->isEnabled());
    first.NumberBox()->setText("+49171");
    EXPECT_TRUE(first.OkButton()->isEnabled());

    // The SIM's one location taken: a new entry goes to the phone memory, with its limits.
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_strName = u"Taken";
    e->m_strNumber = u"1";
    e->m_nId = STORAGE_SIM | 1;
    pb.Append(std::move(e));
    CPhonebookEntryDlg second(pb, STORAGE_SIM | STORAGE_PHONE, nullptr, nullptr);
    EXPECT_EQ(second.Id(), STORAGE_PHONE | 1u);
    EXPECT_EQ(second.NameBox()->maxLength(), 10);
    // Only the SIM configured and full: no place, said so.
    CPhonebookEntryDlg none(pb, STORAGE_SIM, nullptr, nullptr);
    EXPECT_EQ(none.Id(), 0u);
    EXPECT_EQ(Shown(), (std::vector<QString>{Q(kPhonebookFull)}));
    // An existing entry keeps its storage.
    CPhonebookEntryDlg existing(pb, STORAGE_SIM | STORAGE_PHONE, pb.m_entries[0].get(), nullptr);
    EXPECT_FALSE(existing.StorageBox()->isEnabled());
    EXPECT_EQ(existing.NameBox()->text(), "Taken");
}

TEST_F(WindowTest, PhonebookDialogToolbarNewAndDelete) {
    Frame();
    CPhonebookDlg dlg(*m_pDoc, nullptr);
    const char* tips[] = {"New Phonebook entry", "Edit Phonebook entry", "Delete Phonebook entry",
                          "Synchronize Phonebook", "Export entries to Contacts",
                          "Import entries from Contacts...", "Call Contact", "Send SMS"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(dlg.Tool(i)->toolTip(), tips[i]);
    dlg.EditEntry();
    EXPECT_EQ(Shown(), (std::vector<QString>{"Failed, you have to select an entry first."}));
    dlg.SetEntryRunner([](CPhonebookEntryDlg& entry) {
        entry.NameBox()->setText("Zoe");
        entry.NumberBox()->setText("+4930999");
        return true;
    });
    dlg.NewEntry();
    ASSERT_EQ(dlg.List()->topLevelItemCount(), 1);
    EXPECT_EQ(dlg.List()->topLevelItem(0)->text(1), "Zoe");
    EXPECT_EQ(dlg.List()->topLevelItem(0)->text(3), "1");
    // Stored at once.
    CPhonebook reread;
    ASSERT_TRUE(LoadPhonebookFile(dlg.Book().PhonebookFile(), reread));
    ASSERT_EQ(reread.m_entries.size(), 1u);
    EXPECT_EQ(reread.m_entries[0]->m_strNumber, u"+4930999");
    CMessageBoxes::PresetAnswer(true);
    dlg.DeleteEntries();  // the new row is the selected one
    EXPECT_EQ(dlg.List()->topLevelItemCount(), 0);
    ASSERT_TRUE(LoadPhonebookFile(dlg.Book().PhonebookFile(), reread));
    ASSERT_EQ(reread.m_entries.size(), 1u) << "a deleted entry waits for the synchronisation";
    EXPECT_TRUE(reread.m_entries[0]->IsDeleted());
}

TEST_F(WindowTest, GroupsDialogAndDefineGroupWrittenHoweverItCloses) {
    Frame();
    CPhonebook pb = SmallPhonebook(5);
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_strName = u"Bob";
    e->m_strNumber = u"+4930002";
    e->m_nId = STORAGE_SIM | 2;
    pb.Append(std::move(e));
    auto noNumber = std::make_unique<CPhonebookEntry>();
    noNumber->m_strName = u"Nobody";
    noNumber->m_nId = STORAGE_SIM | 3;
    pb.Append(std::move(noNumber));
    CGroupsDlg groups(*m_pDoc, nullptr);
    ASSERT_TRUE(SavePhonebookFile(groups.Book().PhonebookFile(), pb));
    groups.Book().LoadPhonebook();
    groups.Add();
    groups.NameBox()->setText("Team");
    groups.Add();
    ASSERT_EQ(groups.List()->topLevelItemCount(), 1);
    EXPECT_EQ(groups.List()->topLevelItem(0)->text(0), "Team (0)");
    EXPECT_TRUE(groups.OpenButton()->isEnabled());
    groups.NameBox()->setText("Team");
    groups.Add();
    EXPECT_EQ(Shown(), (std::vector<QString>{"You have to assign a name to your group.",
                                             "Group name still exists!"}));
    CMessageBoxes::ClearShown();

    // Closed with the window's close button, not Save: the members are in the file.
    groups.SetDefineRunner([](CDefineGroupDlg& define) {
        define.Tabs()->setCurrentIndex(1);
        QTreeWidget* list = define.PhonebookList();
        ASSERT_EQ(list->topLevelItemCount(), 2);
        for (int i = 0; i < 2; ++i) list->topLevelItem(i)->setSelected(true);
        define.AddSelected();
        define.AddSelected();
        define.close();
    });
    groups.OpenGroup();
    auto shown = Shown();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<QString>{"Can not add contact Nobody. The Phone number is missing.",
                                           "Can not add contact Nobody. The Phone number is missing.",
                                           "Contact already added to group Team."}));
    EXPECT_EQ(groups.List()->topLevelItem(0)->text(0), "Team (1)");
    CGroupMemberList members;
    ASSERT_GT(ReadGroup(members, GroupPath(groups.Book().AppDir(), u"Team")), 0);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0]->m_strName, u"Bob");

    groups.List()->topLevelItem(0)->setSelected(true);
    CMessageBoxes::PresetAnswer(true);
    groups.DeleteGroups();
    EXPECT_EQ(groups.List()->topLevelItemCount(), 0);
    EXPECT_FALSE(groups.DeleteButton()->isEnabled());
}

}  // namespace
}  // namespace kvo::ui::test
