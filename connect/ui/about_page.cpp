#include "connect/ui/about_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/install_dir.h"
#include "connect/dialup/connect_strings.h"
#include "connect/ui/boxes.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace kvo::connect::ui {
namespace {

constexpr char16_t kData[] = u"data";
const char kUpdateQuestion[] =
    "Would you like to update via existing ActiveSync internet connection or do you want to "
    "create internet connection via mobile phone to update?";

}  // namespace

CAboutPage::CAboutPage(CConnection& conn, QWidget* parent) : QWidget(parent), m_conn(conn) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* title = new QLabel("<b>kvonet pro</b>");
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    auto* text = new QLabel(
        "GPRS, HSCSD and GSM data connections through your mobile phone, with a traffic "
        "monitor.\n\n(c) Orvane");
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter);
    layout->addWidget(text);
    layout->addSpacing(8);
    m_pAutoUpdate = new QCheckBox("Automatically check for updates");
    layout->addWidget(m_pAutoUpdate);
    m_pUpdate = new QPushButton("Update");
    layout->addWidget(m_pUpdate);
    layout->addStretch();
    m_pUninstall = new QPushButton("Uninstall");
    layout->addWidget(m_pUninstall);

    m_pAutoUpdate->setChecked(ce::GetProfileInt(kData, u"autoupdate", 1) == 1);
    const bool installed = UpdaterInstalled();
    m_pAutoUpdate->setEnabled(installed);
    m_pUpdate->setEnabled(installed);
    connect(m_pAutoUpdate, &QCheckBox::toggled, this,
            [](bool on) { ce::WriteProfileInt(kData, u"autoupdate", on ? 1 : 0); });
    connect(m_pUpdate, &QPushButton::clicked, this, &CAboutPage::Update);
    connect(m_pUninstall, &QPushButton::clicked, this, &CAboutPage::Uninstall);
}

bool CAboutPage::UpdaterInstalled() {
    return ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE,
                            std::u16string(kAppsKey) + u"\\" + std::u16string(kUpdaterKey));
}

void CAboutPage::Update() {
    int answer = CBoxes::Choose(this, kUpdateQuestion, {"ActiveSync", "Phone"});
    if (answer == 0) {
        if (!m_conn.StartUpdater())
            CBoxes::Show(this, Q(m_conn.m_strLastError));
        return;
    }
    if (answer != 1)
        return;
    ce::WriteProfileInt(kData, u"updatenow", 1);
    m_conn.m_comm.StartSAR();
    if (m_conn.RunConnectFlow(false) != EFlowResult::Connected)
        ce::WriteProfileInt(kData, u"updatenow", 0);
}

bool CAboutPage::Uninstall() {
    if (!CBoxes::Ask(this, Q(LoadString(IDS_ASK_UNINSTALL))))
        return false;
    m_conn.Uninstall();
    emit Uninstalled();
    return true;
}

}  // namespace kvo::connect::ui
