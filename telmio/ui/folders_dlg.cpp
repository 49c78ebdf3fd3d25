#include "telmio/ui/folders_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "telmio/sms/sms_folders.h"
#include "telmio/ui/main_frame.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

CFoldersDlg::CFoldersDlg(CSmsStore& store, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), m_store(store), m_ui(ui) {
    setWindowTitle("Folders");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pTree = new QTreeWidget(this);
    m_pTree->setHeaderHidden(true);
    m_pTree->setRootIsDecorated(false);
    layout->addWidget(m_pTree, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Folder", this));
    m_pName = new QLineEdit(this);
    row->addWidget(m_pName, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton("Add", this);
    auto* del = new QPushButton("Delete Folder", this);
    auto* ok = new QPushButton("OK", this);
    for (QPushButton* b : {add, del, ok}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &CFoldersDlg::Add);
    connect(del, &QPushButton::clicked, this, &CFoldersDlg::DeleteFolder);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pTree, &QTreeWidget::itemChanged, this, &CFoldersDlg::Renamed);
    LoadUserFolders(m_folders, m_ui);
    Fill();
    resize(240, 300);
}

void CFoldersDlg::Fill() {
    m_bFilling = true;
    m_pTree->clear();
    for (const CUserFolder& f : m_folders) {
        auto* item = new QTreeWidgetItem(m_pTree, {Q(f.m_strName)});
        item->setData(0, Qt::UserRole, f.m_nId);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    m_bFilling = false;
}

void CFoldersDlg::Add() {
    QString name = m_pName->text().trimmed();
    if (name.isEmpty()) return;
    for (const CUserFolder& f : m_folders)
        if (Q(f.m_strName) == name) {
            CMessageBoxes::Show(this, "The folder already exists.");
            return;
        }
    int id = NewUserFolderId(m_folders);
    if (id == 0) return;
    auto folders = m_folders;
    folders.push_back({U(name), id});
    if (!SaveUserFolders(folders, m_ui)) return;
    m_folders = std::move(folders);
    Fill();
    m_pName->clear();
}

void CFoldersDlg::DeleteFolder() {
    QTreeWidgetItem* item = m_pTree->currentItem();
    if (!item) {
        CMessageBoxes::Show(this, "Select a folder please.");
        return;
    }
    int id = item->data(0, Qt::UserRole).toInt();
    if (!m_ui.Ask(u"Delete the folder with all its messages?")) return;
    if (!m_store.DeleteFolderMessages(id)) return;
    auto folders = m_folders;
    std::erase_if(folders, [id](const CUserFolder& f) { return f.m_nId == id; });
    if (!SaveUserFolders(folders, m_ui)) return;
    m_folders = std::move(folders);
    Fill();
}

void CFoldersDlg::Renamed(QTreeWidgetItem* item) {
    if (m_bFilling) return;
    int id = item->data(0, Qt::UserRole).toInt();
    QString name = item->text(0).trimmed();
    auto folders = m_folders;
    for (CUserFolder& f : folders)
        if (f.m_nId == id) f.m_strName = U(name);
    if (name.isEmpty() || !SaveUserFolders(folders, m_ui)) {
        Fill();  // back to the stored name
        return;
    }
    m_folders = std::move(folders);
}

CDestinationDlg::CDestinationDlg(const std::vector<CUserFolder>& userFolders, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("kvo SMS");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Please select destination folder:", this));
    m_pList = new QListWidget(this);
    const std::pair<int, int> system[] = {
        {MOVE_INBOX, FOLDER_INBOX}, {MOVE_OUTBOX, FOLDER_OUTBOX}, {MOVE_SENT, FOLDER_SENT},
        {MOVE_DRAFT, FOLDER_DRAFT}, {MOVE_TEMPLATES, FOLDER_TEMPLATES}};
    for (auto [code, folder] : system) {
        auto* item = new QListWidgetItem(FolderName(folder), m_pList);
        item->setData(Qt::UserRole, code);
    }
    for (const CUserFolder& f : userFolders) {
        auto* item = new QListWidgetItem(Q(f.m_strName), m_pList);
        item->setData(Qt::UserRole, f.m_nId);
    }
    auto* bin = new QListWidgetItem(FolderName(FOLDER_RECYCLE_BIN), m_pList);
    bin->setData(Qt::UserRole, static_cast<int>(MOVE_RECYCLE_BIN));
    layout->addWidget(m_pList, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(240, 300);
}

int CDestinationDlg::Code() const {
    QListWidgetItem* item = m_pList->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

}  // namespace kvo::ui
