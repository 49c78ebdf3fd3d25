#include "connect/ui/intranet_wizard.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "connect/dialup/connect_strings.h"
#include "connect/provisioning/intranet_rules.h"
#include "connect/ui/boxes.h"

namespace kvo::connect::ui {
namespace {

QString Yes(bool on) {
    return on ? "yes" : "no";
}

// "host:port" into its two fields; a text without a port leaves the port empty.
void SplitProxy(const std::u16string& proxy, QLineEdit* host, QLineEdit* port) {
    const QString p = Q(proxy);
    const qsizetype colon = p.lastIndexOf(':');
    host->setText(colon < 0 ? p : p.left(colon));
    port->setText(colon < 0 ? QString() : p.mid(colon + 1));
}

std::u16string JoinProxy(const QLineEdit* host, const QLineEdit* port) {
    const QString h = host->text().trimmed();
    if (h.isEmpty())
        return {};
    const QString p = port->text().trimmed();
    return U(p.isEmpty() ? h : QString("%1:%2").arg(h).arg(p.toInt()));
}

QWidget* HostPortRow(QLineEdit* host, QLineEdit* port) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    port->setValidator(new QIntValidator(0, 65535, port));
    port->setFixedWidth(48);
    h->addWidget(host, 1);
    h->addWidget(port);
    return row;
}

}  // namespace

CIntranetWizard::CIntranetWizard(const CIntranetSettings& s, QWidget* parent)
    : QDialog(parent), m_result(s) {
    setWindowTitle("Intranet settings");
    for (auto& f : m_fields) f = new QLineEdit;
    auto* layout = new QVBoxLayout(this);
    m_pStep = new QLabel;
    layout->addWidget(m_pStep);
    m_pPages = new QStackedWidget;
    layout->addWidget(m_pPages);

    auto* p1 = new QWidget;
    auto* f1 = new QFormLayout(p1);
    m_pInternet = new QCheckBox("Internet access");
    m_pProxy = new QCheckBox("Use proxy servers");
    f1->addRow(m_pInternet);
    f1->addRow(m_pProxy);
    f1->addRow("HTTP:", HostPortRow(m_fields[HTTP_HOST], m_fields[HTTP_PORT]));
    f1->addRow("WAP:", HostPortRow(m_fields[WAP_HOST], m_fields[WAP_PORT]));
    f1->addRow("SOCKS:", HostPortRow(m_fields[SOCKS_HOST], m_fields[SOCKS_PORT]));
    m_pSocks4 = new QRadioButton("Socks4");
    m_pSocks5 = new QRadioButton("Socks5");
    auto* socks = new QWidget;
    auto* sh = new QHBoxLayout(socks);
    sh->setContentsMargins(0, 0, 0, 0);
    sh->addWidget(m_pSocks4);
    sh->addWidget(m_pSocks5);
    f1->addRow("Type:", socks);
    m_pPages->addWidget(p1);

    auto* p2 = new QWidget;
    auto* f2 = new QFormLayout(p2);
    f2->addRow(new QLabel("SOCKS5 login:"));
    f2->addRow("User:", m_fields[PROXY_USER]);
    f2->addRow("Password:", m_fields[PROXY_PASSWORD]);
    m_fields[PROXY_PASSWORD]->setEchoMode(QLineEdit::Password);
    f2->addRow("IP address:", m_fields[IP]);
    m_pSlip = new QCheckBox("Use SLIP");
    m_pCompressSw = new QCheckBox("Software compression");
    m_pCompressHd = new QCheckBox("IP header compression");
    f2->addRow(m_pSlip);
    f2->addRow(m_pCompressSw);
    f2->addRow(m_pCompressHd);
    m_pPages->addWidget(p2);

    auto* p3 = new QWidget;
    auto* f3 = new QFormLayout(p3);
    f3->addRow("DNS:", m_fields[DNS]);
    f3->addRow("Alt. DNS:", m_fields[ALTDNS]);
    f3->addRow("WINS:", m_fields[WINS]);
    f3->addRow("Alt. WINS:", m_fields[ALTWINS]);
    f3->addRow("APN:", m_fields[APN]);
    m_pPages->addWidget(p3);

    auto* buttons = new QHBoxLayout;
    m_pBack = new QPushButton("< Back");
    m_pNext = new QPushButton("Next >");
    buttons->addStretch();
    buttons->addWidget(m_pBack);
    buttons->addWidget(m_pNext);
    layout->addLayout(buttons);
    connect(m_pBack, &QPushButton::clicked, this, &CIntranetWizard::Back);
    connect(m_pNext, &QPushButton::clicked, this, &CIntranetWizard::Next);

    m_pInternet->setChecked(CIntranetSettings::On(s.internet));
    m_pProxy->setChecked(CIntranetSettings::On(s.proxy));
    SplitProxy(s.proxy_http, m_fields[HTTP_HOST], m_fields[HTTP_PORT]);
    SplitProxy(s.proxy_wap, m_fields[WAP_HOST], m_fields[WAP_PORT]);
    SplitProxy(s.proxy_socks, m_fields[SOCKS_HOST], m_fields[SOCKS_PORT]);
    (CIntranetSettings::On(s.socks5) ? m_pSocks5 : m_pSocks4)->setChecked(true);
    m_fields[PROXY_USER]->setText(Q(s.proxy_user));
    m_fields[PROXY_PASSWORD]->setText(Q(s.proxy_password));
    m_fields[IP]->setText(Q(s.ip));
    m_pSlip->setChecked(CIntranetSettings::On(s.slip));
    m_pCompressSw->setChecked(CIntranetSettings::On(s.compress_sw));
    m_pCompressHd->setChecked(CIntranetSettings::On(s.compress_hd));
    m_fields[DNS]->setText(Q(s.dns));
    m_fields[ALTDNS]->setText(Q(s.altdns));
    m_fields[WINS]->setText(Q(s.wins));
    m_fields[ALTWINS]->setText(Q(s.altwins));
    m_fields[APN]->setText(Q(s.apn));
    setFixedWidth(240);
    UpdateButtons();
}

int CIntranetWizard::Page() const {
    return m_pPages->currentIndex();
}

void CIntranetWizard::SetPage(int page) {
    m_pPages->setCurrentIndex(page);
    UpdateButtons();
}

void CIntranetWizard::UpdateButtons() {
    static const char* titles[3] = {"Proxies", "Login and addresses", "Name servers and APN"};
    m_pStep->setText(QString("<b>Intranet %1/3:</b> %2").arg(Page() + 1).arg(titles[Page()]));
    m_pBack->setText(Page() == 0 ? "Cancel" : "< Back");
    m_pNext->setText(Page() == m_pPages->count() - 1 ? "Finish" : "Next >");
}

void CIntranetWizard::Next() {
    if (Page() + 1 < m_pPages->count())
        SetPage(Page() + 1);
    else
        Finish();
}

void CIntranetWizard::Back() {
    if (Page() > 0)
        SetPage(Page() - 1);
    else
        QDialog::reject();
}

void CIntranetWizard::Finish() {
    CIntranetSettings& s = m_result;
    s.internet = U(Yes(m_pInternet->isChecked()));
    s.proxy = U(Yes(m_pProxy->isChecked()));
    s.proxy_http = JoinProxy(m_fields[HTTP_HOST], m_fields[HTTP_PORT]);
    s.proxy_wap = JoinProxy(m_fields[WAP_HOST], m_fields[WAP_PORT]);
    s.proxy_socks = JoinProxy(m_fields[SOCKS_HOST], m_fields[SOCKS_PORT]);
    s.socks4 = U(Yes(m_pSocks4->isChecked()));
    s.socks5 = U(Yes(m_pSocks5->isChecked()));
    s.proxy_user = U(m_fields[PROXY_USER]->text());
    s.proxy_password = U(m_fields[PROXY_PASSWORD]->text());
    s.ip = U(m_fields[IP]->text().trimmed());
    s.slip = U(Yes(m_pSlip->isChecked()));
    s.compress_sw = U(Yes(m_pCompressSw->isChecked()));
    s.compress_hd = U(Yes(m_pCompressHd->isChecked()));
    s.dns = U(m_fields[DNS]->text().trimmed());
    s.altdns = U(m_fields[ALTDNS]->text().trimmed());
    s.wins = U(m_fields[WINS]->text().trimmed());
    s.altwins = U(m_fields[ALTWINS]->text().trimmed());
    s.apn = U(m_fields[APN]->text().trimmed());
    m_bHint = FinishIntranetWizard(s);
    if (m_bHint)
        CBoxes::Show(this, Q(LoadString(IDS_INTRANET_HINT)));
    accept();
}

}  // namespace kvo::connect::ui
