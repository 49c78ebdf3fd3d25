// "Groups" (list, add, delete, open) and "Define Group" (the members of one group). The
// member list is written whenever Define Group goes away, however it was closed.
#pragma once
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "telmio/contacts/address_book.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

class CDefineGroupDlg : public QDialog {
    Q_OBJECT
public:
    CDefineGroupDlg(CAddressBook& book, const std::u16string& group, QWidget* parent = nullptr);
    ~CDefineGroupDlg() override;
    QTreeWidget* Members() const { return m_pMembers; }
    QTreeWidget* ContactsList() const { return m_pContacts; }
    QTreeWidget* PhonebookList() const { return m_pPhonebook; }
    QTabWidget* Tabs() const { return m_pTabs; }
    QPushButton* AddButton() const { return m_pAdd; }
    QPushButton* RemoveButton() const { return m_pRemove; }

public slots:
    void AddSelected();
    void RemoveSelected();

private:
    void AddEntry(QTreeWidgetItem* row);
    void FillMembers();

    CAddressBook& m_book;
    CBoxUi m_boxUi;
    std::u16string m_strGroup;
    CGroupMemberList m_members;
    QTreeWidget *m_pMembers, *m_pContacts, *m_pPhonebook;
    QTabWidget* m_pTabs;
    QPushButton *m_pAdd, *m_pRemove;
};

class CGroupsDlg : public QDialog {
    Q_OBJECT
public:
    CGroupsDlg(CTelmioDoc& doc, QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_pList; }
    QLineEdit* NameBox() const { return m_pName; }
    QPushButton* OpenButton() const { return m_pOpen; }
    QPushButton* DeleteButton() const { return m_pDelete; }
    CAddressBook& Book() { return m_book; }
    // Opens Define Group; tests replace the runner to avoid a modal loop.
    using DefineRunner = std::function<void(CDefineGroupDlg&)>;
    void SetDefineRunner(DefineRunner runner) { m_defineRunner = std::move(runner); }

public slots:
    void Add();
    void OpenGroup();
    void DeleteGroups();

private:
    void Fill();
    void UpdateButtons();

    CBoxUi m_boxUi;
    CAddressBook m_book;
    QTreeWidget* m_pList;
    QLineEdit* m_pName;
    QPushButton *m_pAddButton, *m_pOpen, *m_pDelete;
    DefineRunner m_defineRunner;
};

}  // namespace kvo::ui
