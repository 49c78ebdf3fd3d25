// "Select Contacts": handheld contacts ticked for import into the phone's phonebook.
#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTreeWidget>

#include "telmio/contacts/book_entry.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

class CSelectContactsDlg : public QDialog {
    Q_OBJECT
public:
    // `contacts` is refilled from the contacts store; `storages` the configured ones.
    CSelectContactsDlg(CBookList& contacts, uint32_t storages, QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_pList; }
    QComboBox* ImportTo() const { return m_pImportTo; }
    uint32_t Storage() const;
    std::vector<const CBookEntry*> Ticked() const;
    void HeaderTapped(int column);

private:
    void Search(const QString& text);

    CBoxUi m_boxUi;
    CBookList& m_contacts;
    QTreeWidget* m_pList;
    QComboBox* m_pImportTo;
    QLineEdit* m_pSearch;
    int m_nSortColumn = 1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

// A tick column for QTreeWidget lists: the box image in column 0, the state in UserRole + 1.
void SetTickImage(QTreeWidgetItem* item, bool bTicked);
bool IsTicked(const QTreeWidgetItem* item);
// Selects and scrolls to the first row whose name (column `column`) begins with `text`.
void SearchByName(QTreeWidget* list, const QString& text, int column);

}  // namespace kvo::ui
