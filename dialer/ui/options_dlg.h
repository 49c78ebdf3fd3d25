// "Options": the device the call goes through, and the skin.
#pragma once
#include <QDialog>
#include <vector>

#include "dialer/dialer_doc.h"

class QListWidget;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace kvo::dialer {

class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(CDialerDoc& doc, IUserInterface& ui, QWidget* parent = nullptr);
    void accept() override;

    QTabWidget* Tabs() const { return m_pTabs; }
    QRadioButton* IntegratedButton() const { return m_pIntegrated; }
    QRadioButton* UserButton() const { return m_pUser; }
    QListWidget* DeviceList() const { return m_pDevices; }
    QLineEdit* UserName() const { return m_pUserName; }
    QSpinBox* UserCom() const { return m_pUserCom; }
    QListWidget* SkinList() const { return m_pSkins; }

private:
    CDialDevice ChosenDevice() const;
    void UpdateEnabled();

    CDialerDoc& m_doc;
    std::vector<CDialDevice> m_devices;
    QTabWidget* m_pTabs;
    QRadioButton *m_pIntegrated, *m_pUser;
    QListWidget* m_pDevices;
    QLineEdit* m_pUserName;
    QSpinBox* m_pUserCom;
    QListWidget* m_pSkins;
};

}  // namespace kvo::dialer
