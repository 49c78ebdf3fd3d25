// The setup pages, About, Define APP, the intranet wizard, the e-mail dialog, the flow's
// questions and monitor mode's hold on the setup, against the real core.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "connect/dialup/connect_strings.h"
#include "connect/flow/command.h"
#include "connect/ui/about_page.h"
#include "connect/ui/define_app_dlg.h"
#include "connect/ui/intranet_wizard.h"
#include "connect/ui/mail_dlg.h"
#include "connect/ui/main_dlg.h"
#include "connect/ui/question_dlgs.h"
#include "connect/ui/setup_page.h"
#include "connect/ui/window_main.h"
#include "platform/datetime.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "telmio/settings/settings_file.h"
#include "tests/connect_ui/ui_fixture.h"

namespace fs = std::filesystem;

namespace kvo::connect::ui::test {
namespace {

const std::u16string kAppDir = u"\\Program Files\\kvonet pro\\";

CKvoIni ReadIni() {
    CKvoIni ini;
    std::string error;
    EXPECT_NE(LoadKvoIni(kAppDir + u"kvo.ini", ini, error), SettingsLoad::failed) << error;
    return ini;
}

// A phone whose GPRS template sends the PIN, or one whose template does not.
const CPhoneModel* PhoneWhere(CConnection& c, bool bCpin) {
    CPhoneModel p;
    p.m_strName = bCpin ? u"Test PinPhone" : u"Test PlainPhone";
    p.m_strGprsInit =
        bCpin ? u"+CGDCONT=1,\"IP\",\"APN\";+cpin=\"PIN\"" : u"+CGDCONT=1,\"IP\",\"APN\"";
    return &c.m_data.AddPhone(p);
}

}  // namespace

TEST_F(ConnectWindowTest, PinFieldIsEditableOnlyForAPhoneThatSendsThePin) {
    CConnection& c = Conn();
    const CPhoneModel* withPin = PhoneWhere(c, true);
    const CPhoneModel* without = PhoneWhere(c, false);
    c.m_saved.m_strPin = u"1234";
    CSetupPage page(c);
    EXPECT_TRUE(page.PinField()->isReadOnly()) << "no phone chosen: detection decides";

    page.PhoneList()->setCurrentIndex(page.PhoneList()->findText(Q(withPin->m_strName)));
    EXPECT_FALSE(page.PinField()->isReadOnly());
    page.PinField()->setText("4321");
    page.PhoneList()->setCurrentIndex(page.PhoneList()->findText(Q(without->m_strName)));
    EXPECT_TRUE(page.PinField()->isReadOnly());
    // A PIN the phone cannot take is kept as stored, not overwritten by the locked field.
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(ReadIni().m_strPin, u"1234");

    page.PhoneList()->setCurrentIndex(page.PhoneList()->findText(Q(withPin->m_strName)));
    page.PinField()->setText("4321");
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(ReadIni().m_strPin, u"4321");
}

TEST_F(ConnectWindowTest, SetupPagesSaveWhatTheFlowReadsAndKeepUnknownNames) {
    CConnection& c = Conn();
    ASSERT_FALSE(c.m_data.Isps().empty());
    const std::u16string isp = c.m_data.Isps().front()->m_strName;
    c.m_saved.m_strPhoneModel = u"Phone of an older database";
    {
        CSetupPage page(c);
        EXPECT_EQ(page.PhoneList()->currentText(), "Phone of an older database");
        page.IspList()->setCurrentIndex(page.IspList()->findText(Q(isp)));
        page.MethodList()->setCurrentIndex(page.MethodList()->findText("HSCSD"));
        page.NetworkList()->setCurrentIndex(page.NetworkList()->findText("<choose at connection>"));
        page.UserField()->setText("anna");
        page.PasswordField()->setText("secret");
        page.ApnField()->setText(" web.example ");
        ASSERT_TRUE(page.Save());
    }
    CKvoIni ini = ReadIni();
    EXPECT_EQ(ini.m_strPhoneModel, u"Phone of an older database");
    EXPECT_EQ(ini.m_strOperator, isp);
    EXPECT_EQ(ini.m_strConnectionMethod, u"HSCSD");
    EXPECT_EQ(ini.m_strNetworkChoice, u"<choose at connection>");
    EXPECT_EQ(ini.m_strAccessPoint, u"web.example");
    EXPECT_EQ(ini.m_strModemDevice, u"") << "hardware left to the COM3: default";
    // The detection takes the operator's login from the map, so it must be there.
    ASSERT_EQ(ini.m_loginMap.size(), 1u);
    EXPECT_EQ(ini.m_loginMap[0], (CLoginEntry{isp, u"anna", u"secret"}));

    // "<automatic>" is stored as no method: only then does the flow fall back.
    CConnection again(m_ui, m_comm);
    ASSERT_TRUE(StartUp(again));
    ASSERT_TRUE(again.Initialise(false));
    CSetupPage page(again);
    EXPECT_EQ(page.UserField()->text(), "anna");
    page.MethodList()->setCurrentIndex(0);
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(ReadIni().m_strConnectionMethod, u"");
}

TEST_F(ConnectWindowTest, ClosingTheWindowKeepsChangesAndTheAboutBoxFollowsTheUpdater) {
    CConnection& c = Conn();
    {
        CMainDlg dlg(c, CMainDlg::PAGE_ABOUT, false, {});
        EXPECT_EQ(dlg.Tabs()->currentIndex(), CMainDlg::PAGE_ABOUT);
        QCheckBox* box = dlg.About()->AutoUpdateBox();
        EXPECT_TRUE(box->isChecked()) << "autoupdate defaults to 1";
        EXPECT_TRUE(box->isEnabled());
        box->click();
        EXPECT_EQ(ce::GetProfileInt(u"data", u"autoupdate", 9), 0u);
        box->click();
        EXPECT_EQ(ce::GetProfileInt(u"data", u"autoupdate", 9), 1u);
        dlg.Setup()->ApnField()->setText("closing.apn");
        emit dlg.Setup()->ApnField()->textEdited("closing.apn");
        dlg.reject();
    }
    EXPECT_EQ(ReadIni().m_strAccessPoint, u"closing.apn");

    ce::WriteProfileInt(u"data", u"autoupdate", 0);
    ASSERT_TRUE(ce::RegDeleteTree(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane Updater"));
    CAboutPage about(c);
    EXPECT_FALSE(about.AutoUpdateBox()->isChecked());
    EXPECT_FALSE(about.AutoUpdateBox()->isEnabled());
    EXPECT_FALSE(about.UpdateButton()->isEnabled());
}

TEST_F(ConnectWindowTest, UpdateAsksActiveSyncOrPhoneAndPhoneWithoutConnectionResetsUpdatenow) {
    CConnection& c = Conn();
    CAboutPage about(c);
    // Phone, then Cancel at "Connect with?": no connection, so no update is pending.
    c.m_saved.m_strNetworkChoice = LoadString(IDS_CHOOSE_AT_CONNECTION);
    InstallFlowDialogs(c, &about);
    CBoxes::Preset(1);
    CBoxes::Preset(2);
    about.Update();
    EXPECT_TRUE(Shown().front().startsWith("Would you like to update via existing ActiveSync"));
    EXPECT_EQ(ce::GetProfileInt(u"data", u"updatenow", 9), 0u);
    // ActiveSync starts the updater at once. A stand-in records how: the real one would
    // wait offscreen for a tap that never comes.
    const fs::path updater = ce::MapPath(u"\\Program Files\\Orvane Updater\\updater.exe");
    const fs::path args = updater.parent_path() / "args.txt";
    fs::remove(updater);
    kvo::test::WriteHostFile(updater, "#!/bin/sh\necho \"$@\" > \"" + args.string() +
                                          ".tmp\"\nmv \"" + args.string() + ".tmp\" \"" +
                                          args.string() + "\"\n");
    fs::permissions(updater, fs::perms::owner_all);
    c.m_strLastError.clear();
    CBoxes::Preset(0);
    about.Update();
    EXPECT_TRUE(c.m_strLastError.empty()) << ce::ToUtf8(c.m_strLastError);
    for (int i = 0; i < 200 && !fs::exists(args); ++i) ce::Sleep(20);
    EXPECT_EQ(kvo::test::ReadHostFile(args),
              "/app=WM2003_kvopro_Eng_300 \"/path=\\Program Files\\kvonet pro\"\n");
}

TEST_F(ConnectWindowTest, UninstallAsksFirstAndClosesTheWindowForTheReset) {
    CConnection& c = Conn();
    ASSERT_TRUE(c.SaveChoices());
    ASSERT_TRUE(ce::FileExists(kAppDir + u"kvo.ini"));
    CMainDlg dlg(c, CMainDlg::PAGE_ABOUT, false, {});
    dlg.show();
    CBoxes::Preset(0);
    dlg.About()->UninstallButton()->click();
    EXPECT_TRUE(Shown(Q(LoadString(IDS_ASK_UNINSTALL))));
    EXPECT_TRUE(ce::FileExists(kAppDir + u"kvo.ini")) << "No removes nothing";
    EXPECT_FALSE(c.m_bResetPending);
    EXPECT_TRUE(dlg.isVisible());

    CBoxes::Preset(1);
    dlg.About()->UninstallButton()->click();
    EXPECT_FALSE(ce::FileExists(kAppDir + u"kvo.ini"));
    ASSERT_FALSE(m_ui.Messages().empty());
    EXPECT_EQ(m_ui.Messages().back(), LoadString(IDS_UNINSTALLED));
    EXPECT_TRUE(c.m_bResetPending);
    EXPECT_FALSE(dlg.isVisible());
    // Nothing is written back into the folder just emptied.
    EXPECT_FALSE(ce::FileExists(kAppDir + u"kvo.ini"));
}

TEST_F(ConnectWindowTest, DefineAppListsFoldersAndProgramsAndStoresTheTappedOne) {
    ASSERT_TRUE(ce::CreateDirectories(u"\\Tools\\Sub"));
    for (const char16_t* f : {u"\\Tools\\notes.txt", u"\\Tools\\run.EXE", u"\\Tools\\go.lnk",
                              u"\\Tools\\exe", u"\\Tools\\Sub\\deep.exe"})
        ASSERT_TRUE(ce::WriteFileAtomic(f, "x"));
    CDefineAppDlg dlg;
    auto texts = [&] {
        QStringList out;
        for (int i = 0; i < dlg.List()->count(); ++i) out << dlg.List()->item(i)->text();
        return out;
    };
    auto tap = [&](const QString& text) {
        auto items = dlg.List()->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << text.toStdString();
        emit dlg.List()->itemDoubleClicked(items.front());
    };
    EXPECT_FALSE(texts().contains("[..]")) << "the root has no parent";
    EXPECT_TRUE(texts().contains("[Tools]"));
    tap("[Tools]");
    EXPECT_EQ(texts(), (QStringList{"[..]", "[Sub]", "go.lnk", "run.EXE"}));
    tap("[Sub]");
    tap("[..]");
    EXPECT_EQ(dlg.Folder(), u"\\Tools\\");
    tap("run.EXE");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(CDefineAppDlg::StoredApp(), u"\\Tools\\run.EXE");
    EXPECT_EQ(ce::RegGetString(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane kvonet pro",
                               u"myapp", u""),
              u"\\Tools\\run.EXE");
}

TEST_F(ConnectWindowTest, IntranetWizardPagesDefaultPortsAndLoginHint) {
    CIntranetSettings s;
    s.proxy_http = u"old.example:8080";
    CIntranetWizard w(s);
    EXPECT_EQ(w.Field(CIntranetWizard::HTTP_HOST)->text(), "old.example");
    EXPECT_EQ(w.Field(CIntranetWizard::HTTP_PORT)->text(), "8080");
    w.reject();  // closing page 1 cancels
    EXPECT_EQ(w.result(), QDialog::Rejected);

    CIntranetWizard wizard(CIntranetSettings{});
    wizard.ProxyBox()->setChecked(true);
    wizard.Field(CIntranetWizard::HTTP_HOST)->setText("proxy.corp");
    wizard.Field(CIntranetWizard::WAP_HOST)->setText("wap.corp");
    wizard.Field(CIntranetWizard::SOCKS_HOST)->setText("socks.corp");
    wizard.Field(CIntranetWizard::SOCKS_PORT)->setText("1081");
    wizard.Next();
    wizard.Next();
    EXPECT_EQ(wizard.Page(), 2);
    wizard.reject();  // closing a later page goes back, not out
    EXPECT_EQ(wizard.Page(), 1);
    wizard.Next();
    wizard.Field(CIntranetWizard::APN)->setText("corp.apn");
    wizard.Next();  // Finish
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    const CIntranetSettings& r = wizard.Result();
    EXPECT_EQ(r.proxy, u"yes");
    EXPECT_EQ(r.proxy_http, u"proxy.corp:80");
    EXPECT_EQ(r.proxy_wap, u"wap.corp:9201");
    EXPECT_EQ(r.proxy_socks, u"socks.corp:1081");
    EXPECT_EQ(r.socks4, u"yes");
    EXPECT_EQ(r.socks5, u"no");
    EXPECT_EQ(r.apn, u"corp.apn");
    EXPECT_TRUE(wizard.ShowedHint()) << "no intranet user yet";
    EXPECT_TRUE(Shown(Q(LoadString(IDS_INTRANET_HINT))));

    CIntranetSettings withUser;
    withUser.user = u"anna";
    CIntranetWizard quiet(withUser);
    quiet.Next();
    quiet.Next();
    quiet.Next();
    EXPECT_FALSE(quiet.ShowedHint());
}

TEST_F(ConnectWindowTest, FinishedWizardWritesIntranetDatAndRefreshesTheSetup) {
    CConnection& c = Conn();
    CMainDlg dlg(c, CMainDlg::PAGE_EXTRAS, false, {});
    OnNextModal([](QWidget* w) {
        auto* wizard = qobject_cast<CIntranetWizard*>(w);
        ASSERT_TRUE(wizard);
        wizard->Field(CIntranetWizard::HTTP_HOST)->setText("p.corp");
        wizard->Field(CIntranetWizard::APN)->setText("corp.apn");
        wizard->SetPage(2);
        wizard->Next();
    });
    ASSERT_TRUE(dlg.Extras()->RunIntranetWizard());
    CIntranetSettings read;
    std::string error;
    ASSERT_TRUE(LoadIntranetDat(kAppDir + u"intranet.dat", read, error)) << error;
    EXPECT_EQ(read.proxy_http, u"p.corp:80");
    EXPECT_EQ(read.apn, u"corp.apn");
}

TEST_F(ConnectWindowTest, CreateEmailIsPrefilledAndConfiguresTheAccount) {
    Conn();
    CMailDlg dlg;
    const CMailAccountForm preset = PresetMailForm();
    EXPECT_EQ(U(dlg.Field(4)->text()), preset.m_strOutgoing);
    EXPECT_EQ(U(dlg.Field(5)->text()), preset.m_strIncoming);
    dlg.Field(1)->setText("anna");
    EXPECT_EQ(dlg.Form().m_strUser, u"anna");
    EXPECT_EQ(dlg.CreateAccount(), EMailResult::Ok);
    EXPECT_TRUE(Shown(Q(LoadString(IDS_MAIL_CONFIGURED))));
    EXPECT_EQ(ce::RegGetString(ce::HKEY_CURRENT_USER,
                               u"Software\\Microsoft\\Internet Explorer\\Main", u"Start Page", u""),
              PresetOperator().m_strStartPage);
}

TEST_F(ConnectWindowTest, ConnectWithAndIntranetLoginAnswerTheFlow) {
    CConnection& c = Conn();
    InstallFlowDialogs(c, nullptr);
    CBoxes::SetTestMode(false);  // the real dialogs, answered by a finger
    OnNextModal([](QWidget* w) {
        auto* dlg = qobject_cast<CConnectWithDlg*>(w);
        ASSERT_TRUE(dlg);
        dlg->IntranetButton()->setChecked(true);
        dlg->accept();
    });
    EXPECT_EQ(c.m_chooseNetwork(), ENetworkAnswer::Intranet);
    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(c.m_chooseNetwork(), ENetworkAnswer::Cancel);

    OnNextModal([](QWidget* w) {
        auto* dlg = qobject_cast<CIntranetLoginDlg*>(w);
        ASSERT_TRUE(dlg);
        auto edits = dlg->findChildren<QLineEdit*>();
        ASSERT_EQ(edits.size(), 2);
        EXPECT_EQ(edits[0]->text(), "old");
        edits[0]->setText("anna");
        edits[1]->setText("pw");
        dlg->accept();
    });
    std::u16string user = u"old", password;
    EXPECT_TRUE(c.m_intranetLogin(user, password));
    EXPECT_EQ(user, u"anna");
    EXPECT_EQ(password, u"pw");

    // Cancelling the login ends the flow before anything is dialled or written.
    CBoxes::SetTestMode(true);
    c.m_saved.m_strNetworkChoice = LoadString(IDS_INTRANET);
    CBoxes::Preset(0);
    EXPECT_EQ(c.RunConnectFlow(false), EFlowResult::Cancelled);
    EXPECT_FALSE(ce::FileExists(kAppDir + u"intranet.dat"));
}

TEST_F(ConnectWindowTest, MonitorModeStaysOnTrafficWhileAnotherInstanceHoldsTheLock) {
    CConnection& c = Conn();
    bool busy = false;
    ce::File other = TakeRootLock(busy);
    ASSERT_TRUE(other);
    bool mine = false;
    ce::File none = TakeRootLock(mine);
    ASSERT_FALSE(none);
    ASSERT_TRUE(mine);

    CMainDlg dlg(c, CMainDlg::PAGE_SETUP, true, std::move(none));
    EXPECT_EQ(dlg.Tabs()->currentIndex(), CMainDlg::PAGE_TRAFFIC);
    dlg.Tabs()->setCurrentIndex(CMainDlg::PAGE_SETUP);
    EXPECT_EQ(dlg.Tabs()->currentIndex(), CMainDlg::PAGE_TRAFFIC);
    EXPECT_TRUE(Shown(kSetupLocked));
    EXPECT_TRUE(dlg.MonitorMode());

    ce::DeleteFile(u"\\kvo.lock");
    other.Close();
    dlg.Tabs()->setCurrentIndex(CMainDlg::PAGE_ABOUT);
    EXPECT_EQ(dlg.Tabs()->currentIndex(), CMainDlg::PAGE_ABOUT);
    EXPECT_FALSE(dlg.MonitorMode());
    EXPECT_TRUE(dlg.HoldsLock()) << "the setup is this instance's now";
    bool busyNow = false;
    EXPECT_FALSE(TakeRootLock(busyNow));
    EXPECT_TRUE(busyNow);
}

TEST_F(ConnectWindowTest, WindowLettersOpenTheirPageAndLeaveNoMarkerOrLock) {
    CConnection& c = Conn();
    const std::u16string marker = kAppDir + u"MONITORSTARTED";
    for (char16_t letter : {u'a', u'm', u's'}) {
        int page = -1;
        bool markerSeen = false;
        QTimer::singleShot(50, [&] {
            auto* dlg = qobject_cast<CMainDlg*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dlg);
            page = dlg->Tabs()->currentIndex();
            markerSeen = ce::FileExists(marker);
            dlg->reject();
        });
        EXPECT_EQ(RunWindow(c, letter), 0);
        EXPECT_EQ(page, letter == u'a'   ? CMainDlg::PAGE_ABOUT
                        : letter == u'm' ? CMainDlg::PAGE_TRAFFIC
                                         : CMainDlg::PAGE_SETUP);
        EXPECT_TRUE(markerSeen) << char(letter);
        EXPECT_FALSE(ce::FileExists(marker)) << char(letter);
        bool busy = false;
        ce::File lock = TakeRootLock(busy);
        EXPECT_TRUE(lock) << char(letter) << ": the lock was left held";
        ce::DeleteFile(u"\\kvo.lock");
    }
    // A second window while one holds the lock ends at once.
    bool busy = false;
    ce::File held = TakeRootLock(busy);
    ASSERT_TRUE(held);
    EXPECT_EQ(RunWindow(c, u's'), kCommandBusy);
    EXPECT_FALSE(ce::FileExists(marker));
}

TEST_F(ConnectWindowTest, ScreenshotsOfEveryPageAndDialog) {
    CConnection& c = Conn();
    ASSERT_TRUE(ce::CreateDirectories(kAppDir));
    for (const char* page : {"setup", "extras", "about", "define-app", "intranet-1", "intranet-2",
                             "intranet-3", "email", "connect-with", "intranet-login"}) {
        CScreenshotArgs a;
        a.strPage = page;
        a.strFile = ScreenshotPath(page);
        std::string error;
        EXPECT_TRUE(WriteScreenshot(c, a, error)) << page << ": " << error;
        QImage img(QString::fromStdString(a.strFile));
        EXPECT_EQ(img.width(), 240) << page;
    }
    CScreenshotArgs bad;
    bad.strPage = "nonsense";
    bad.strFile = ScreenshotPath("nonsense");
    std::string error;
    EXPECT_FALSE(WriteScreenshot(c, bad, error));
    EXPECT_NE(error.find("setup, extras"), std::string::npos) << error;
}

}  // namespace kvo::connect::ui::test
