#include "dialer/ui/options_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialer/ui/dialer_ui.h"

namespace kvo::dialer {

COptionsDlg::COptionsDlg(CDialerDoc& doc, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), m_doc(doc) {
    setWindowTitle("Options");
    doc.LoadDevices(m_devices);
    (void)ui;

    m_pTabs = new QTabWidget(this);
    auto* devices = new QWidget;
    auto* dl = new QVBoxLayout(devices);
    m_pIntegrated = new QRadioButton("Integrated Devices");
    m_pDevices = new QListWidget;
    for (const auto& d : m_devices)
        m_pDevices->addItem(Q(d.m_strName) + "  (" + Q(d.m_strPort) + ")");
    m_pUser = new QRadioButton("User Defined Device");
    m_pUserName = new QLineEdit;
    m_pUserCom = new QSpinBox;
    m_pUserCom->setRange(0, 99);
    m_pUserCom->setPrefix("COM");
    auto* user = new QFormLayout;
    user->addRow("Name", m_pUserName);
    user->addRow("Port", m_pUserCom);
    dl->addWidget(m_pIntegrated);
    dl->addWidget(m_pDevices, 1);
    dl->addWidget(m_pUser);
    dl->addLayout(user);
    m_pTabs->addTab(devices, "Devices");

    auto* skins = new QWidget;
    auto* sl = new QVBoxLayout(skins);
    m_pSkins = new QListWidget;
    for (const auto& package : doc.ThemePackages()) {
        QString name = Q(package);
        auto* item = new QListWidgetItem(name.left(name.lastIndexOf('.')));
        item->setData(Qt::UserRole, name);
        m_pSkins->addItem(item);
        if (package == doc.CurrentTheme())
            m_pSkins->setCurrentItem(item);
    }
    sl->addWidget(m_pSkins);
    m_pTabs->addTab(skins, "Skins");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_pTabs);
    top->addWidget(buttons);

    // The current device: one of the integrated ones, else shown as the user's own.
    const CDialDevice& current = doc.Device();
    int found = -1;
    for (size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i] == current)
            found = int(i);
    if (found >= 0 || current.m_strPort.empty()) {
        m_pIntegrated->setChecked(true);
        if (found >= 0)
            m_pDevices->setCurrentRow(found);
    } else {
        m_pUser->setChecked(true);
        m_pUserName->setText(Q(current.m_strName));
        QString digits;
        for (QChar c : Q(current.m_strPort))
            if (c.isDigit())
                digits += c;
        m_pUserCom->setValue(digits.left(2).toInt());
    }
    connect(m_pIntegrated, &QRadioButton::toggled, this, &COptionsDlg::UpdateEnabled);
    UpdateEnabled();
    resize(240, 300);
}

void COptionsDlg::UpdateEnabled() {
    bool integrated = m_pIntegrated->isChecked();
    m_pDevices->setEnabled(integrated);
    m_pUserName->setEnabled(!integrated);
    m_pUserCom->setEnabled(!integrated);
}

CDialDevice COptionsDlg::ChosenDevice() const {
    if (m_pIntegrated->isChecked()) {
        int row = m_pDevices->currentRow();
        return row >= 0 && size_t(row) < m_devices.size() ? m_devices[size_t(row)] : CDialDevice();
    }
    if (m_pUserName->text().trimmed().isEmpty())
        return {};
    return {U(m_pUserName->text().trimmed()), U(QString("COM%1:").arg(m_pUserCom->value()))};
}

void COptionsDlg::accept() {
    QListWidgetItem* skin = m_pSkins->currentItem();
    std::u16string package = skin ? U(skin->data(Qt::UserRole).toString()) : std::u16string();
    if (m_doc.ApplyOptions(ChosenDevice(), package))
        QDialog::accept();
}

}  // namespace kvo::dialer
