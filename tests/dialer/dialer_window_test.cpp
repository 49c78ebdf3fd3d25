// The dialer's window offscreen: keys, dialogs, and a picture of each shipped theme.
#include <gtest/gtest.h>

// Before Qt's headers: its keyword macros would spoil the simulator's member "slots".
#include "tools/kvophone/phone_sim.h"

#include <QApplication>
#include <QBuffer>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "dialer/keypad_layout.h"
#include "dialer/theme_package.h"
#include "dialer/ui/contacts_dlg.h"
#include "dialer/ui/dialer_window.h"
#include "dialer/ui/options_dlg.h"
#include "dialer/ui/screenshot.h"
#include "platform/contacts.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"

namespace fs = std::filesystem;

namespace kvo::dialer {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "dialer_ui_tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class DialerWindowTest : public test::DeviceTest {
protected:
    void SetUp() override {
        App();
        CDialerUi::SetTestMode(true);
        CDialerUi::ClearShown();
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    }
    std::vector<std::u16string> Shown() const {
        std::vector<std::u16string> out;
        for (const auto& s : CDialerUi::Shown()) out.push_back(U(s));
        return out;
    }
    CDialerUi m_ui;
};

TEST_F(DialerWindowTest, EachShippedThemeDrawsTheKeypad) {
    CDialerDoc doc(m_ui);
    auto themes = doc.ThemePackages();
    ASSERT_GE(themes.size(), 2u) << "the build ships at least two themes";
    fs::create_directories(KVO_SCREENSHOT_DIR);
    QImage first;
    for (const auto& package : themes) {
        ASSERT_TRUE(doc.SelectTheme(package));
        CDialerWindow window(doc, m_ui);
        window.Keypad()->ReloadTheme();
        EXPECT_EQ(window.windowTitle(), "RIV Udovez");
        EXPECT_EQ(window.Keypad()->width(), 240);
        doc.Number() = u"+49 171 2345678";
        std::string name = ce::ToUtf8(package.substr(0, package.find(u'.')));
        std::string file = std::string(KVO_SCREENSHOT_DIR) + "/dialer-" + name + ".png";
        std::string error;
        ASSERT_TRUE(WriteDialerScreenshot(window, file, error)) << error;
        QImage shot = window.Keypad()->grab().toImage();
        // The theme's own background, not the fallback grey of a theme that failed to load.
        EXPECT_NE(shot.pixelColor(2, 250), QColor(0xE8, 0xEA, 0xEE)) << name;
        if (first.isNull())
            first = shot;
        else
            EXPECT_NE(shot, first) << "two themes should not look the same";
    }
    EXPECT_TRUE(Shown().empty());
}

TEST_F(DialerWindowTest, TapsOnKeysEditTheNumber) {
    CDialerDoc doc(m_ui);
    doc.LoadSettings();
    CDialerWindow window(doc, m_ui);
    auto tap = [&](const char* key) {
        KeyRect r;
        ASSERT_TRUE(KeyRectOf(key, r));
        QTest::mouseClick(window.Keypad(), Qt::LeftButton, {}, QPoint(r.x + 30, r.y + 15));
    };
    for (const char* k : {"key+", "key4", "key9", "key1", "key1", "keydel"}) tap(k);
    EXPECT_EQ(doc.Number(), u"+491");
    // Pressed on one key and released on another: neither counts.
    KeyRect a, b;
    KeyRectOf("key7", a);
    KeyRectOf("key9", b);
    QTest::mousePress(window.Keypad(), Qt::LeftButton, {}, QPoint(a.x + 5, a.y + 5));
    QTest::mouseRelease(window.Keypad(), Qt::LeftButton, {}, QPoint(b.x + 5, b.y + 5));
    EXPECT_EQ(doc.Number(), u"+491");
    tap("keyclear");
    EXPECT_EQ(doc.Number(), u"");
}

TEST_F(DialerWindowTest, OptionsShowAnUnknownDeviceAsTheUsersOwnAndCheckTheChoice) {
    CDialerDoc doc(m_ui);
    doc.SetDevice({u"My cable", u"COM7:"});
    COptionsDlg dlg(doc, m_ui);
    EXPECT_TRUE(dlg.UserButton()->isChecked());
    EXPECT_EQ(dlg.UserName()->text(), "My cable");
    EXPECT_EQ(dlg.UserCom()->value(), 7);
    dlg.UserName()->clear();
    dlg.accept();
    EXPECT_EQ(Shown(), std::vector<std::u16string>{u"Device is not selected."});
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    dlg.UserName()->setText("Desk phone");
    dlg.UserCom()->setValue(5);
    dlg.SkinList()->setCurrentRow(1);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(doc.Device(), (CDialDevice{u"Desk phone", u"COM5:"}));
    EXPECT_EQ(doc.CurrentTheme(), U(dlg.SkinList()->item(1)->data(Qt::UserRole).toString()));
}

TEST_F(DialerWindowTest, ContactsDialogTakesAnOnlyNumberAtOnce) {
    ce::ContactsFolder folder;
    ASSERT_TRUE(folder.Logon());
    ce::ContactItem one = folder.Add();
    one.FirstName = u"Anna";
    one.HomeTelephoneNumber = u"+49 30 1234";
    ASSERT_TRUE(folder.Save(one));
    ce::ContactItem two = folder.Add();
    two.FirstName = u"Ben";
    two.MobileTelephoneNumber = u"0171 555";
    two.BusinessTelephoneNumber = u"030 999";
    ASSERT_TRUE(folder.Save(two));

    CContactsDlg dlg(m_ui);
    ASSERT_EQ(dlg.ContactList()->topLevelItemCount(), 2);
    QTreeWidgetItem* ben = dlg.ContactList()->findItems("Ben", Qt::MatchExactly, 0).value(0);
    ASSERT_TRUE(ben);
    dlg.TakeSingle(ben);
    EXPECT_EQ(dlg.result(), 0) << "two numbers: the user picks one";
    ASSERT_EQ(dlg.NumberList()->topLevelItemCount(), 2);
    EXPECT_EQ(dlg.NumberList()->topLevelItem(0)->text(0), "Mobile tel");
    EXPECT_EQ(dlg.NumberList()->topLevelItem(1)->text(0), "Work tel");
    dlg.TakeSingle(dlg.ContactList()->findItems("Anna", Qt::MatchExactly, 0).value(0));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.ChosenNumber(), "+49 30 1234");
}

TEST_F(DialerWindowTest, CallKeyDialsTheNumberOnTheDisplay) {
    phone::CPhoneSim sim;
    std::string error;
    ASSERT_TRUE(sim.Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    CDialerDoc doc(m_ui);
    doc.LoadSettings();
    CDialerWindow window(doc, m_ui);
    for (const char* k : {"key0", "key1", "key7", "key1", "key*", "key#", "keycall"})
        window.Keypad()->Press(k);
    EXPECT_TRUE(sim.WaitForJournal("DIAL 0171*#;", 2000));
    EXPECT_TRUE(Shown().empty());
    sim.Stop();
}

TEST_F(DialerWindowTest, BitmapKeysLeaveTheKeyColourOut) {
    auto bmp = [](const QImage& img) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, "BMP");
        return bytes.toStdString();
    };
    QImage key(60, 30, QImage::Format_RGB32);
    key.fill(Qt::white);
    QImage icon(10, 10, QImage::Format_RGB32);
    icon.fill(QColor(255, 0, 255));
    icon.setPixel(5, 5, qRgb(0, 0, 0));
    std::string package =
        FormatThemePackage({{"t.cfg", "defaultkey=key.bmp\nkeycall=bmp,icon.bmp\n"},
                            {"key.bmp", bmp(key)},
                            {"icon.bmp", bmp(icon)}});
    ASSERT_TRUE(ce::CreateDirectories(kThemesFolder));
    ASSERT_TRUE(ce::WriteFileAtomic(std::u16string(kThemesFolder) + u"t.thm", package));
    CDialerDoc doc(m_ui);
    ASSERT_TRUE(doc.SelectTheme(u"t.thm"));
    CThemeImages images;
    images.Load(doc.Theme(), kThemeWorkFolder);
    QImage pad = DrawKeypad(doc.Theme(), images, u"", "");
    KeyRect call;
    KeyRectOf("keycall", call);
    const QPoint iconAt(call.x + 25, call.y + 10);  // the icon is centred on the key
    EXPECT_EQ(pad.pixel(iconAt), qRgb(255, 255, 255)) << "the key colour shows the key below";
    EXPECT_EQ(pad.pixel(iconAt + QPoint(5, 5)), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace kvo::dialer
