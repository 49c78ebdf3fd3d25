// "Select the phone number": contacts and phonebook entries with numbers, ticked in two tabs,
// and a group; the recipients text it builds goes into the editor.
#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include "telmio/contacts/address_book.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

class CSelectNumberDlg : public QDialog {
    Q_OBJECT
public:
    CSelectNumberDlg(CTelmioDoc& doc, QWidget* parent = nullptr);
    QTreeWidget* ContactsList() const { return m_pContacts; }
    QTreeWidget* PhonebookList() const { return m_pPhonebook; }
    QComboBox* GroupBox() const { return m_pGroup; }
    QLineEdit* SearchBox() const { return m_pSearch; }
    QTabWidget* Tabs() const { return m_pTabs; }
    CAddressBook& Book() { return m_book; }
    // The recipients as OK builds them.
    QString BuildResult();
    QString Result() const { return m_strResult; }
    void RefreshContacts();

private:
    void Fill(QTreeWidget* list, const std::vector<CBookEntry*>& entries);
    void Search(const QString& text);

    CBoxUi m_boxUi;
    CAddressBook m_book;
    QTabWidget* m_pTabs;
    QTreeWidget *m_pContacts, *m_pPhonebook;
    QComboBox* m_pGroup;
    QLineEdit* m_pSearch;
    QString m_strResult;
};

}  // namespace kvo::ui
