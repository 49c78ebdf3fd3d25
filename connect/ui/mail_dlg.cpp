#include "connect/ui/mail_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "connect/dialup/connect_strings.h"
#include "connect/ui/boxes.h"

namespace kvo::connect::ui {

CMailDlg::CMailDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Create E-Mail");
    const CMailAccountForm preset = PresetMailForm();
    const char* labels[6] = {"Your name:", "User name:", "Password:", "E-mail:", "SMTP:", "POP3:"};
    const std::u16string* values[6] = {&preset.m_strYourName, &preset.m_strUser,
                                       &preset.m_strPassword, &preset.m_strEmail,
                                       &preset.m_strOutgoing, &preset.m_strIncoming};
    auto* form = new QFormLayout(this);
    for (int i = 0; i < 6; ++i) {
        m_fields[i] = new QLineEdit(Q(*values[i]));
        form->addRow(labels[i], m_fields[i]);
    }
    m_fields[2]->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setFixedWidth(240);
}

CMailAccountForm CMailDlg::Form() const {
    CMailAccountForm f;
    f.m_strYourName = U(m_fields[0]->text());
    f.m_strUser = U(m_fields[1]->text());
    f.m_strPassword = U(m_fields[2]->text());
    f.m_strEmail = U(m_fields[3]->text());
    f.m_strOutgoing = U(m_fields[4]->text());
    f.m_strIncoming = U(m_fields[5]->text());
    return f;
}

EMailResult CMailDlg::CreateAccount() {
    EMailResult r = CreateOperatorMailAccount(Form());
    if (r == EMailResult::Ok)
        CBoxes::Show(this, Q(LoadString(IDS_MAIL_CONFIGURED)));
    else if (r == EMailResult::RegistryFailed)
        CBoxes::Show(this, Q(LoadString(IDS_REGISTRY_FAILED)));
    else
        CBoxes::Show(this, "The mail account could not be configured.");
    return r;
}

void RunMailDialog(QWidget* parent) {
    CMailDlg dlg(parent);
    if (dlg.exec() == QDialog::Accepted)
        dlg.CreateAccount();
}

}  // namespace kvo::connect::ui
