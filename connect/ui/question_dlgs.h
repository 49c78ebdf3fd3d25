// The questions the connect flow asks before it dials: "Connect with?" and the intranet
// login. The flow calls them through the connection's hooks.
#pragma once
#include <QDialog>

#include "connect/flow/connection.h"

class QLineEdit;
class QRadioButton;

namespace kvo::connect::ui {

class CConnectWithDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConnectWithDlg(QWidget* parent = nullptr);
    ENetworkAnswer Answer() const;
    QRadioButton* IntranetButton() const { return m_pIntranet; }

private:
    QRadioButton* m_pInternet;
    QRadioButton* m_pIntranet;
};

class CIntranetLoginDlg : public QDialog {
    Q_OBJECT
public:
    CIntranetLoginDlg(const std::u16string& user, const std::u16string& password,
                      QWidget* parent = nullptr);
    std::u16string User() const;
    std::u16string Password() const;

private:
    QLineEdit* m_pUser;
    QLineEdit* m_pPassword;
};

// Sets the connection's "Connect with?" and intranet login hooks to these dialogs. In the
// boxes' test mode they take the preset answers instead (Connect with?: 0 Internet,
// 1 Intranet, other Cancel; login: non-zero OK with the prefilled values).
void InstallFlowDialogs(CConnection& conn, QWidget* parent);

}  // namespace kvo::connect::ui
