// "Phonebook": the phone's phonebook as kept on the handheld, with its toolbar (New, Edit,
// Delete, Synchronize, Export, Import, Call, Send), and the entry dialog.
#pragma once
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "telmio/contacts/address_book.h"
#include "telmio/contacts/entry_rules.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

class CPhonebookEntryDlg : public QDialog {
    Q_OBJECT
public:
    // `entry` null for a new entry. Check Place().nId after construction: 0 means there is
    // no room and the dialog must not be shown (the message was given).
    CPhonebookEntryDlg(const CPhonebook& pb, uint32_t storages, const CPhonebookEntry* entry,
                       QWidget* parent = nullptr);
    const EntryPlace& Place() const { return m_place; }
    QLineEdit* NameBox() const { return m_pName; }
    QLineEdit* NumberBox() const { return m_pNumber; }
    QComboBox* StorageBox() const { return m_pStorage; }
    QPushButton* OkButton() const { return m_pOk; }
    std::u16string Name() const { return U(m_pName->text()); }
    std::u16string Number() const { return U(m_pNumber->text()); }
    uint32_t Id() const { return m_place.nId; }

public slots:
    void TryAccept();

private:
    void ApplyPlace();
    void UpdateOk();

    const CPhonebook& m_pb;
    EntryPlace m_place;
    QLineEdit *m_pName, *m_pNumber;
    QComboBox* m_pStorage;
    QPushButton* m_pOk;
};

class CPhonebookDlg : public QDialog {
    Q_OBJECT
public:
    CPhonebookDlg(CTelmioDoc& doc, QWidget* parent = nullptr);
    CAddressBook& Book() { return m_book; }
    QTreeWidget* List() const { return m_pList; }
    QAction* Tool(int i) const { return m_tools[i]; }  // 0 New .. 7 Send
    QLineEdit* SearchBox() const { return m_pSearch; }
    QLabel* Status() const { return m_pStatus; }
    // Runs the entry dialog; tests replace it to fill the dialog without a modal loop.
    using EntryRunner = std::function<bool(CPhonebookEntryDlg&)>;
    void SetEntryRunner(EntryRunner runner) { m_entryRunner = std::move(runner); }
    void Rebuild();

public slots:
    void NewEntry();
    void EditEntry();
    void DeleteEntries();
    void Synchronize();
    void ExportEntries();
    void ImportEntries();
    void Call();
    void SendSms();

signals:
    // The editor for a new message to this number.
    void SendRequested(const QString& number);

private:
    CPhonebookEntry* Selected() const;
    void HeaderTapped(int column);
    QTreeWidgetItem* AddRow(CPhonebookEntry* e);

    CTelmioDoc& m_doc;
    CBoxUi m_boxUi;
    CAddressBook m_book;
    QTreeWidget* m_pList;
    QLineEdit* m_pSearch;
    QLabel* m_pStatus;
    QAction* m_tools[8] = {};
    EntryRunner m_entryRunner;
    bool m_bTickAllNext = true;
    int m_nSortColumn = 1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

}  // namespace kvo::ui
