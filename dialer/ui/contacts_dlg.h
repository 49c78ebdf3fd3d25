// "Contacts": the handheld's contacts and the chosen one's numbers; one number is taken.
#pragma once
#include <QDialog>
#include <vector>

#include "dialer/dialer_contacts.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace kvo::dialer {

class CContactsDlg : public QDialog {
    Q_OBJECT
public:
    CContactsDlg(IUserInterface& ui, QWidget* parent = nullptr);
    ~CContactsDlg() override;
    void Refresh();
    QString ChosenNumber() const { return m_strChosen; }
    QTreeWidget* ContactList() const { return m_pContacts; }
    QTreeWidget* NumberList() const { return m_pNumbers; }
    void accept() override;
    // A tap on a contact: its only number is taken at once.
    void TakeSingle(QTreeWidgetItem* item);

private:
    void ShowNumbers();

    IUserInterface& m_ui;
    std::vector<CDialContact> m_contacts;
    QTreeWidget* m_pContacts;
    QTreeWidget* m_pNumbers;
    QString m_strChosen;
};

}  // namespace kvo::dialer
