#include "telmio/ui/options_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/serial.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

bool PortOpensNow(std::u16string_view port) {
    auto path = ce::ResolvePortName(port);
    if (!path) return false;
    auto line = ce::SerialPort::Open(*path);  // closed again when it goes out of scope
    return line && line->IsOpen();
}

COptionsDlg::COptionsDlg(CTelmioDoc& doc, IUserInterface& ui, QWidget* parent)
    : COptionsDlg(doc, ui, PortOpensNow, parent) {}

COptionsDlg::COptionsDlg(CTelmioDoc& doc, IUserInterface& ui,
                         const std::function<bool(std::u16string_view)>& canOpen,
                         QWidget* parent)
    : QDialog(parent), m_doc(doc), m_ui(ui) {
    setWindowTitle("Options");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pAuto = new QCheckBox("Automatic synchronization", this);
    layout->addWidget(m_pAuto);
    auto* every = new QHBoxLayout;
    every->addSpacing(18);
    every->addWidget(new QLabel("All", this));
    m_pMinutes = new QLineEdit(this);
    m_pMinutes->setMaxLength(5);
    m_pMinutes->setValidator(new QIntValidator(0, 99999, m_pMinutes));
    m_pMinutes->setFixedWidth(50);
    every->addWidget(m_pMinutes);
    every->addWidget(new QLabel("minutes", this));
    every->addStretch();
    layout->addLayout(every);
    m_pOwnCentre = new QCheckBox("set SMS centre number", this);
    layout->addWidget(m_pOwnCentre);
    auto* centre = new QHBoxLayout;
    centre->addSpacing(18);
    m_pCentre = new QLineEdit(this);
    centre->addWidget(m_pCentre);
    layout->addLayout(centre);
    // The long text wraps beside its box, so the dialog keeps the handheld's width.
    auto* del = new QHBoxLayout;
    m_pDelete = new QCheckBox(this);
    const char* deleteText = "Delete the SMS from Mobile Phone after synchronisation";
    m_pDelete->setAccessibleName(deleteText);
    auto* deleteLabel = new QLabel(deleteText, this);
    deleteLabel->setWordWrap(true);
    deleteLabel->setBuddy(m_pDelete);
    del->addWidget(m_pDelete, 0, Qt::AlignTop);
    del->addWidget(deleteLabel, 1);
    layout->addLayout(del);
    auto* port = new QHBoxLayout;
    m_pUsePort = new QCheckBox("Use port", this);
    port->addWidget(m_pUsePort);
    port->addWidget(new QLabel("Port", this));
    m_pPort = new QComboBox(this);
    port->addWidget(m_pPort, 1);
    layout->addLayout(port);
    auto* pb = new QHBoxLayout;
    pb->addWidget(new QLabel("Phonebook", this));
    m_pPhonebook = new QComboBox(this);
    m_pPhonebook->addItems({"SIM", "Phone", "SIM+Phone"});
    pb->addWidget(m_pPhonebook, 1);
    layout->addLayout(pb);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    m_pSave = new QPushButton("Save", this);
    m_pCancel = new QPushButton("Cancel", this);
    m_pSet = new QPushButton("Set", this);
    buttons->addWidget(m_pSave);
    buttons->addWidget(m_pCancel);
    buttons->addWidget(m_pSet);
    layout->addLayout(buttons);

    COptionsValues v = OptionsFromSettings(doc.Settings());
    m_pAuto->setChecked(v.m_bAutoSync);
    m_pMinutes->setText(QString::number(v.m_nInterval));
    m_pOwnCentre->setChecked(v.m_bOwnCentre);
    m_pCentre->setText(Q(v.m_strCentreNumber));
    m_pDelete->setChecked(v.m_bDeleteAfterSync);
    m_pUsePort->setChecked(v.m_bUserPort);
    std::vector<std::u16string> modemPorts;
    for (const CModemDevice& d : doc.Devices()) modemPorts.push_back(d.m_strPort);
    for (const auto& p : BuildPortList(modemPorts, canOpen)) m_pPort->addItem(Q(p));
    if (!v.m_strUserPort.empty()) {
        int i = m_pPort->findText(Q(v.m_strUserPort));
        if (i < 0) {
            // A port set elsewhere (a Linux device) stays choosable.
            m_pPort->addItem(Q(v.m_strUserPort));
            i = m_pPort->count() - 1;
        }
        m_pPort->setCurrentIndex(i);
    }
    int item = static_cast<int>(v.m_nPbStorages / kPbStorageSim) - 1;
    m_pPhonebook->setCurrentIndex(item >= 0 && item <= 2 ? item : 2);

    for (QCheckBox* c : {m_pAuto, m_pOwnCentre, m_pUsePort})
        connect(c, &QCheckBox::toggled, this, &COptionsDlg::UpdateRules);
    for (QLineEdit* e : {m_pMinutes, m_pCentre})
        connect(e, &QLineEdit::textChanged, this, &COptionsDlg::UpdateRules);
    connect(m_pSave, &QPushButton::clicked, this, [this] {
        if (Save()) accept();
    });
    // "Set" keeps the values without closing the dialog.
    connect(m_pSet, &QPushButton::clicked, this, &COptionsDlg::Save);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateRules();
    resize(240, 300);
}

COptionsValues COptionsDlg::Values() const {
    COptionsValues v;
    v.m_bAutoSync = m_pAuto->isChecked();
    v.m_nInterval = m_pMinutes->text().toInt();
    v.m_bOwnCentre = m_pOwnCentre->isChecked();
    v.m_strCentreNumber = U(m_pCentre->text());
    v.m_bDeleteAfterSync = m_pDelete->isChecked();
    v.m_bUserPort = m_pUsePort->isChecked();
    v.m_strUserPort = U(m_pPort->currentText());
    v.m_nPbStorages = PbStoragesForItem(m_pPhonebook->currentIndex());
    return v;
}

void COptionsDlg::UpdateRules() {
    m_pMinutes->setEnabled(m_pAuto->isChecked());
    m_pCentre->setEnabled(m_pOwnCentre->isChecked());
    m_pPort->setEnabled(m_pUsePort->isChecked());
    bool ok = CanSaveOptions(Values());
    m_pSave->setEnabled(ok);
    m_pSet->setEnabled(ok);
}

bool COptionsDlg::Save() {
    COptionsValues v = Values();
    bool running = m_doc.Settings().m_ini.m_bAutoSync;
    COptionsOutcome out = SaveOptions(m_doc.Settings(), v, running, m_ui);
    if (!out.m_bSaved) return false;
    if (out.m_bRestartCountdown) m_doc.RestartCountdown();
    if (out.m_bStartWorker) m_doc.StartAutoSync();
    if (out.m_bStopWorker) m_doc.StopAutoSync();
    return true;
}

}  // namespace kvo::ui
