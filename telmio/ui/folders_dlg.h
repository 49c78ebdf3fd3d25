// "Folders" (add, rename and delete user folders) and the destination folder dialog.
#pragma once
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "telmio/sms/message_store.h"
#include "telmio/sms/user_folders.h"

namespace kvo::ui {

class CFoldersDlg : public QDialog {
    Q_OBJECT
public:
    CFoldersDlg(CSmsStore& store, IUserInterface& ui, QWidget* parent = nullptr);
    QTreeWidget* Tree() const { return m_pTree; }
    QLineEdit* NameBox() const { return m_pName; }
    const std::vector<CUserFolder>& Folders() const { return m_folders; }

public slots:
    void Add();
    void DeleteFolder();

private:
    void Fill();
    void Renamed(QTreeWidgetItem* item);

    CSmsStore& m_store;
    IUserInterface& m_ui;
    std::vector<CUserFolder> m_folders;
    QTreeWidget* m_pTree;
    QLineEdit* m_pName;
    bool m_bFilling = false;
};

class CDestinationDlg : public QDialog {
    Q_OBJECT
public:
    CDestinationDlg(const std::vector<CUserFolder>& userFolders, QWidget* parent = nullptr);
    QListWidget* List() const { return m_pList; }
    // The move code of the chosen folder, 0 for none.
    int Code() const;

private:
    QListWidget* m_pList;
};

}  // namespace kvo::ui
