#include "connect/ui/setup_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "connect/dialup/connect_strings.h"
#include "connect/dialup/dialup_rules.h"
#include "connect/ui/boxes.h"
#include "connect/ui/define_app_dlg.h"
#include "connect/ui/intranet_wizard.h"
#include "connect/ui/mail_dlg.h"

namespace kvo::connect::ui {
namespace {

// Items whose data is the stored text; the empty text means "let the program find out".
void Fill(QComboBox* box, const QString& automatic, const std::vector<std::u16string>& values) {
    box->clear();
    if (!automatic.isEmpty())
        box->addItem(automatic, QString());
    for (const auto& v : values) box->addItem(Q(v), Q(v));
}

// Selects the stored text; one the list does not offer (a phone a newer database dropped)
// is added, so saving keeps it.
void Select(QComboBox* box, const std::u16string& value) {
    int i = box->findData(Q(value));
    if (i < 0) {
        box->addItem(Q(value), Q(value));
        i = box->count() - 1;
    }
    box->setCurrentIndex(i);
}

std::u16string Stored(const QComboBox* box) {
    return U(box->currentData().toString());
}

}  // namespace

CSetupPage::CSetupPage(CConnection& conn, QWidget* parent) : QWidget(parent), m_conn(conn) {
    auto* form = new QFormLayout(this);
    form->setContentsMargins(4, 4, 4, 4);
    form->setVerticalSpacing(3);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_pPhone = new QComboBox;
    m_pIsp = new QComboBox;
    m_pMethod = new QComboBox;
    m_pUser = new QLineEdit;
    m_pPassword = new QLineEdit;
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pHardware = new QComboBox;
    m_pNetwork = new QComboBox;
    m_pApn = new QLineEdit;
    m_pPin = new QLineEdit;
    m_pPin->setEchoMode(QLineEdit::Password);
    for (QComboBox* box : {m_pPhone, m_pIsp, m_pMethod, m_pHardware, m_pNetwork}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(8);
    }
    form->addRow("Phone:", m_pPhone);
    form->addRow("ISP:", m_pIsp);
    form->addRow("Service:", m_pMethod);
    form->addRow("Login:", m_pUser);
    form->addRow("Password:", m_pPassword);
    form->addRow("Hardware:", m_pHardware);
    form->addRow("Network:", m_pNetwork);
    form->addRow("APN:", m_pApn);
    form->addRow("PIN:", m_pPin);
    auto* save = new QPushButton("Save");
    form->addRow(save);
    connect(save, &QPushButton::clicked, this, [this] { Save(); });

    auto changed = [this] {
        if (!m_bLoading)
            m_bChanged = true;
    };
    for (QComboBox* box : {m_pPhone, m_pIsp, m_pMethod, m_pHardware, m_pNetwork})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    for (QLineEdit* e : {m_pUser, m_pPassword, m_pApn, m_pPin})
        connect(e, &QLineEdit::textEdited, this, changed);
    connect(m_pPhone, &QComboBox::currentIndexChanged, this, [this] { UpdatePinRule(); });
    connect(m_pIsp, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_bLoading)
            ShowLoginOf(Stored(m_pIsp));
    });
    Load();
}

void CSetupPage::Load() {
    m_bLoading = true;
    const CKvoIni& s = m_conn.m_saved;
    std::vector<std::u16string> phones, isps, devices;
    for (const auto& p : m_conn.m_data.Phones()) phones.push_back(p->m_strName);
    for (const auto& i : m_conn.m_data.Isps()) isps.push_back(i->m_strName);
    for (const auto& d : m_conn.m_lineDevices) devices.push_back(d.m_strName);
    // The database holds a name more than once where one phone has several entries.
    for (auto* v : {&phones, &isps}) {
        std::vector<std::u16string> unique;
        for (const auto& n : *v)
            if (std::find(unique.begin(), unique.end(), n) == unique.end())
                unique.push_back(n);
        *v = unique;
    }
    Fill(m_pPhone, "<detect>", phones);
    Select(m_pPhone, s.m_strPhoneModel);
    Fill(m_pIsp, "<detect>", isps);
    Select(m_pIsp, s.m_strOperator);
    Fill(m_pMethod, "<automatic>", {u"GPRS", u"HSCSD", u"GSM"});
    Select(m_pMethod, s.m_strConnectionMethod);
    Fill(m_pHardware, "<on COM3:>", devices);
    Select(m_pHardware, s.m_strModemDevice);
    Fill(m_pNetwork, {},
         {LoadString(IDS_INTERNET_PRIVATE), u"Internet company", u"Internet",
          LoadString(IDS_INTRANET), LoadString(IDS_CHOOSE_AT_CONNECTION)});
    // No choice yet means the internet, as the flow reads it.
    Select(m_pNetwork,
           s.m_strNetworkChoice.empty() ? LoadString(IDS_INTERNET_PRIVATE) : s.m_strNetworkChoice);
    m_pUser->setText(Q(s.m_strLoginUser));
    m_pPassword->setText(Q(s.m_strLoginPassword));
    ShowLoginOf(s.m_strOperator);
    m_pApn->setText(Q(s.m_strAccessPoint));
    m_pPin->setText(Q(s.m_strPin));
    UpdatePinRule();
    m_bLoading = false;
    m_bChanged = false;
}

void CSetupPage::ShowLoginOf(const std::u16string& isp) {
    for (const CLoginEntry& e : m_conn.m_saved.m_loginMap)
        if (!isp.empty() && e.m_strOperator == isp) {
            m_pUser->setText(Q(e.m_strUser));
            m_pPassword->setText(Q(e.m_strPassword));
            return;
        }
}

void CSetupPage::UpdatePinRule() {
    const CPhoneModel* phone = m_conn.m_data.FindPhoneByName(Stored(m_pPhone));
    const bool editable = PinFieldEditable(phone);
    m_pPin->setReadOnly(!editable);
    // A read-only field must look it, or the tap seems to do nothing.
    m_pPin->setEnabled(editable);
}

bool CSetupPage::Save() {
    CKvoIni& s = m_conn.m_saved;
    s.m_strPhoneModel = Stored(m_pPhone);
    s.m_strOperator = Stored(m_pIsp);
    s.m_strConnectionMethod = Stored(m_pMethod);
    s.m_strModemDevice = Stored(m_pHardware);
    s.m_strNetworkChoice = Stored(m_pNetwork);
    s.m_strLoginUser = U(m_pUser->text());
    s.m_strLoginPassword = U(m_pPassword->text());
    s.m_strAccessPoint = U(m_pApn->text().trimmed());
    // A PIN the phone's template cannot carry is kept as it was.
    if (!m_pPin->isReadOnly())
        s.m_strPin = U(m_pPin->text().trimmed());
    // The detection takes an operator's login from this map over the database's.
    if (!s.m_strOperator.empty()) {
        auto& map = s.m_loginMap;
        auto it = std::find_if(map.begin(), map.end(), [&](const CLoginEntry& e) {
            return e.m_strOperator == s.m_strOperator;
        });
        if (it == map.end())
            it = map.insert(map.end(), CLoginEntry{s.m_strOperator, {}, {}});
        it->m_strUser = s.m_strLoginUser;
        it->m_strPassword = s.m_strLoginPassword;
    }
    if (!m_conn.SaveChoices()) {
        CBoxes::Show(this, Q(m_conn.m_strLastError));
        return false;
    }
    m_bChanged = false;
    return true;
}

CExtrasPage::CExtrasPage(CConnection& conn, QWidget* parent) : QWidget(parent), m_conn(conn) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* intranet = new QGroupBox("Intranet and VPN");
    auto* il = new QVBoxLayout(intranet);
    m_pIntranet = new QLabel;
    m_pIntranet->setWordWrap(true);
    il->addWidget(m_pIntranet);
    auto* wizard = new QPushButton("Intranet settings...");
    il->addWidget(wizard);
    layout->addWidget(intranet);

    auto* mail = new QGroupBox("E-mail account");
    auto* ml = new QVBoxLayout(mail);
    auto* mailButton = new QPushButton("Create E-Mail...");
    ml->addWidget(mailButton);
    layout->addWidget(mail);

    auto* app = new QGroupBox("Start application");
    auto* al = new QVBoxLayout(app);
    m_pApp = new QLabel;
    m_pApp->setWordWrap(true);
    al->addWidget(m_pApp);
    auto* define = new QPushButton("Define APP...");
    al->addWidget(define);
    layout->addWidget(app);
    layout->addStretch();

    connect(wizard, &QPushButton::clicked, this, [this] { RunIntranetWizard(); });
    connect(mailButton, &QPushButton::clicked, this, [this] { RunMailDialog(this); });
    connect(define, &QPushButton::clicked, this, [this] { RunDefineApp(); });
    Refresh();
}

void CExtrasPage::Refresh() {
    const CIntranetSettings& s = m_conn.m_intranet;
    QString text = CIntranetSettings::On(s.proxy) ? "Proxy: " + Q(s.proxy_http) : "No proxy";
    if (!s.user.empty())
        text += ", user " + Q(s.user);
    if (!s.apn.empty())
        text += ", APN " + Q(s.apn);
    m_pIntranet->setText(text);
    const std::u16string app = CDefineAppDlg::StoredApp();
    m_pApp->setText(app.empty() ? QString("No program chosen.") : Q(app));
}

bool CExtrasPage::RunIntranetWizard() {
    CIntranetWizard wizard(m_conn.m_intranet, this);
    if (wizard.exec() != QDialog::Accepted)
        return false;
    m_conn.m_intranet = wizard.Result();
    if (!m_conn.SaveIntranetSettings()) {
        CBoxes::Show(this, Q(m_conn.m_strLastError));
        return false;
    }
    Refresh();
    emit IntranetChanged();
    return true;
}

void CExtrasPage::RunDefineApp() {
    CDefineAppDlg dlg(this);
    dlg.exec();
    Refresh();
}

}  // namespace kvo::connect::ui
