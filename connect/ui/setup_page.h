// The setup pages: what the connect flow uses (phone, ISP, service, login, hardware,
// network, APN, PIN) and the extras (intranet and VPN settings, e-mail account, start
// application).
#pragma once
#include <QWidget>

#include "connect/flow/connection.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvo::connect::ui {

class CSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit CSetupPage(CConnection& conn, QWidget* parent = nullptr);

    // Shows the saved choices.
    void Load();
    // Takes the fields into the saved choices and writes "kvo.ini"; false when it failed.
    bool Save();
    bool IsChanged() const { return m_bChanged; }

    QComboBox* PhoneList() const { return m_pPhone; }
    QComboBox* IspList() const { return m_pIsp; }
    QComboBox* MethodList() const { return m_pMethod; }
    QComboBox* HardwareList() const { return m_pHardware; }
    QComboBox* NetworkList() const { return m_pNetwork; }
    QLineEdit* UserField() const { return m_pUser; }
    QLineEdit* PasswordField() const { return m_pPassword; }
    QLineEdit* ApnField() const { return m_pApn; }
    QLineEdit* PinField() const { return m_pPin; }

private:
    void UpdatePinRule();
    void ShowLoginOf(const std::u16string& isp);

    CConnection& m_conn;
    bool m_bChanged = false;
    bool m_bLoading = false;
    QComboBox *m_pPhone, *m_pIsp, *m_pMethod, *m_pHardware, *m_pNetwork;
    QLineEdit *m_pUser, *m_pPassword, *m_pApn, *m_pPin;
};

class CExtrasPage : public QWidget {
    Q_OBJECT
public:
    explicit CExtrasPage(CConnection& conn, QWidget* parent = nullptr);
    void Refresh();
    // Runs the intranet wizard; true when it finished and "intranet.dat" was written.
    bool RunIntranetWizard();
    void RunDefineApp();

signals:
    void IntranetChanged();

private:
    CConnection& m_conn;
    QLabel* m_pIntranet;
    QLabel* m_pApp;
};

}  // namespace kvo::connect::ui
