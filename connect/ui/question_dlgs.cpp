#include "connect/ui/question_dlgs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "connect/ui/boxes.h"

namespace kvo::connect::ui {

CConnectWithDlg::CConnectWithDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("kvonet pro");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Connect with?"));
    m_pInternet = new QRadioButton("Internet");
    m_pIntranet = new QRadioButton("Intranet");
    m_pInternet->setChecked(true);
    layout->addWidget(m_pInternet);
    layout->addWidget(m_pIntranet);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setFixedWidth(240);
}

ENetworkAnswer CConnectWithDlg::Answer() const {
    if (result() != QDialog::Accepted)
        return ENetworkAnswer::Cancel;
    return m_pIntranet->isChecked() ? ENetworkAnswer::Intranet : ENetworkAnswer::Internet;
}

CIntranetLoginDlg::CIntranetLoginDlg(const std::u16string& user, const std::u16string& password,
                                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Intranet login");
    auto* form = new QFormLayout(this);
    m_pUser = new QLineEdit(Q(user));
    m_pPassword = new QLineEdit(Q(password));
    m_pPassword->setEchoMode(QLineEdit::Password);
    form->addRow("User name:", m_pUser);
    form->addRow("Password:", m_pPassword);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setFixedWidth(240);
}

std::u16string CIntranetLoginDlg::User() const {
    return U(m_pUser->text());
}
std::u16string CIntranetLoginDlg::Password() const {
    return U(m_pPassword->text());
}

void InstallFlowDialogs(CConnection& conn, QWidget* parent) {
    conn.m_chooseNetwork = [parent] {
        int answer = 0;
        if (CBoxes::TakePreset(answer))
            return answer == 0   ? ENetworkAnswer::Internet
                   : answer == 1 ? ENetworkAnswer::Intranet
                                 : ENetworkAnswer::Cancel;
        CConnectWithDlg dlg(parent);
        dlg.exec();
        return dlg.Answer();
    };
    conn.m_intranetLogin = [parent](std::u16string& user, std::u16string& password) {
        int answer = 0;
        if (CBoxes::TakePreset(answer))
            return answer != 0;
        CIntranetLoginDlg dlg(user, password, parent);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        user = dlg.User();
        password = dlg.Password();
        return true;
    };
}

}  // namespace kvo::connect::ui
