// The Options dialog: automatic synchronisation, the SMS centre, deleting after
// synchronisation, the port and the phonebook storages. The rules live in options_rules.h.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "telmio/session/telmio_doc.h"
#include "telmio/settings/options_rules.h"

namespace kvo::ui {

class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(CTelmioDoc& doc, IUserInterface& ui, QWidget* parent = nullptr);
    // `canOpen` tells which of COM2: to COM9: can be opened now (tests give their own).
    COptionsDlg(CTelmioDoc& doc, IUserInterface& ui,
                const std::function<bool(std::u16string_view)>& canOpen, QWidget* parent);
    COptionsValues Values() const;
    QCheckBox* AutoSync() const { return m_pAuto; }
    QLineEdit* Minutes() const { return m_pMinutes; }
    QCheckBox* OwnCentre() const { return m_pOwnCentre; }
    QLineEdit* Centre() const { return m_pCentre; }
    QCheckBox* DeleteAfter() const { return m_pDelete; }
    QCheckBox* UsePort() const { return m_pUsePort; }
    QComboBox* Port() const { return m_pPort; }
    QComboBox* Phonebook() const { return m_pPhonebook; }
    QPushButton* SaveButton() const { return m_pSave; }

public slots:
    bool Save();

private:
    void UpdateRules();

    CTelmioDoc& m_doc;
    IUserInterface& m_ui;
    QCheckBox *m_pAuto, *m_pOwnCentre, *m_pDelete, *m_pUsePort;
    QLineEdit *m_pMinutes, *m_pCentre;
    QComboBox *m_pPort, *m_pPhonebook;
    QPushButton *m_pSave, *m_pCancel, *m_pSet;
};

// Whether a handheld port can be opened for reading and writing at this moment.
bool PortOpensNow(std::u16string_view port);

}  // namespace kvo::ui
