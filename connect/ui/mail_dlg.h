// "Create E-Mail": the preset operator's POP3 account.
#pragma once
#include <QDialog>

#include "connect/provisioning/mail_account.h"

class QLineEdit;

namespace kvo::connect::ui {

class CMailDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMailDlg(QWidget* parent = nullptr);
    CMailAccountForm Form() const;
    QLineEdit* Field(int i) const { return m_fields[i]; }  // in the form's order
    // Creates the account from the fields; the result is shown to the user.
    EMailResult CreateAccount();

private:
    QLineEdit* m_fields[6];
};

// Shows the dialog and, on OK, creates the account.
void RunMailDialog(QWidget* parent);

}  // namespace kvo::connect::ui
