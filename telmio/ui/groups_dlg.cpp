#include "telmio/ui/groups_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "telmio/contacts/contacts_access.h"
#include "telmio/contacts/groups.h"

namespace kvo::ui {

namespace {

constexpr int kPtrRole = Qt::UserRole + 2;

QTreeWidget* NameNumberList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setHeaderLabels({"Name", "Tel. Number"});
    list->setColumnWidth(0, 130);
    list->setColumnWidth(1, 90);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMouseTracking(true);
    return list;
}

// Rows sort by name without regard to case.
class CNameItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
    }
};

template <class List>
void FillEntries(QTreeWidget* list, const List& entries) {
    for (const auto& e : entries) {
        if (e->m_strName.empty() && e->m_strNumber.empty()) continue;
        auto* item = new CNameItem(list, {Q(e->m_strName), Q(e->m_strNumber)});
        item->setData(0, kPtrRole, QVariant::fromValue(static_cast<void*>(e.get())));
    }
    list->sortItems(0, Qt::AscendingOrder);
}

}  // namespace

// --- Define Group ----------------------------------------------------------------------------

CDefineGroupDlg::CDefineGroupDlg(CAddressBook& book, const std::u16string& group, QWidget* parent)
    : QDialog(parent), m_book(book), m_boxUi(this), m_strGroup(group) {
    setWindowTitle("Define Group");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* name = new QLineEdit(Q(group), this);
    name->setReadOnly(true);
    layout->addWidget(name);
    m_pMembers = NameNumberList(this);
    layout->addWidget(m_pMembers, 1);
    auto* buttons = new QHBoxLayout;
    // The picture buttons: "add" moves down into the group, "remove" takes out of it.
    m_pAdd = new QPushButton(QString::fromUtf8("\u25B2 Add"), this);
    m_pRemove = new QPushButton(QString::fromUtf8("\u25BC Remove"), this);
    for (QPushButton* b : {m_pAdd, m_pRemove}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    m_pTabs = new QTabWidget(this);
    m_pContacts = NameNumberList(m_pTabs);
    m_pPhonebook = NameNumberList(m_pTabs);
    m_pTabs->addTab(m_pContacts, "Contacts");
    m_pTabs->addTab(m_pPhonebook, "Phonebook");
    layout->addWidget(m_pTabs, 1);
    connect(m_pAdd, &QPushButton::clicked, this, &CDefineGroupDlg::AddSelected);
    connect(m_pRemove, &QPushButton::clicked, this, &CDefineGroupDlg::RemoveSelected);
    for (QTreeWidget* list : {m_pContacts, m_pPhonebook})
        connect(list, &QTreeWidget::itemDoubleClicked, this,
                [this](QTreeWidgetItem* row) { AddEntry(row); });
    connect(m_pMembers, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) {
        m_pMembers->clearSelection();
        row->setSelected(true);
        RemoveSelected();
    });

    ReadGroup(m_members, GroupPath(m_book.AppDir(), m_strGroup));
    m_book.m_contacts.clear();
    LoadContacts(m_book.m_contacts, m_boxUi);
    FillMembers();
    FillEntries(m_pContacts, m_book.m_contacts);
    FillEntries(m_pPhonebook, m_book.m_phonebook.m_entries);
    resize(240, 320);
}

CDefineGroupDlg::~CDefineGroupDlg() {
    // However the dialog ends, its members are stored.
    WriteGroup(m_members, GroupPath(m_book.AppDir(), m_strGroup));
    m_members.clear();
}

void CDefineGroupDlg::FillMembers() {
    m_pMembers->clear();
    for (const auto& m : m_members) {
        auto* item = new CNameItem(m_pMembers, {Q(m->m_strName), Q(m_book.ResolveMember(*m))});
        item->setData(0, kPtrRole, QVariant::fromValue(static_cast<void*>(m.get())));
    }
    m_pMembers->sortItems(0, Qt::AscendingOrder);
}

void CDefineGroupDlg::AddEntry(QTreeWidgetItem* row) {
    auto* e = static_cast<CBookEntry*>(row->data(0, kPtrRole).value<void*>());
    std::u16string source =
        m_pTabs->currentWidget() == m_pContacts ? std::u16string(kContactsSource) : m_book.PhoneId();
    std::u16string why = AddMember(m_members, *e, source, m_strGroup);
    if (!why.empty()) {
        CMessageBoxes::Show(this, Q(why));
        return;
    }
    FillMembers();
    auto found = m_pMembers->findItems(Q(e->m_strName), Qt::MatchExactly, 0);
    if (!found.isEmpty()) {
        m_pMembers->scrollToItem(found.front());
        m_pMembers->setCurrentItem(found.front());
    }
}

void CDefineGroupDlg::AddSelected() {
    auto* list = static_cast<QTreeWidget*>(m_pTabs->currentWidget());
    for (QTreeWidgetItem* row : list->selectedItems()) AddEntry(row);
}

void CDefineGroupDlg::RemoveSelected() {
    for (QTreeWidgetItem* row : m_pMembers->selectedItems()) {
        auto* m = static_cast<CGroupMember*>(row->data(0, kPtrRole).value<void*>());
        std::erase_if(m_members, [m](const auto& p) { return p.get() == m; });
    }
    FillMembers();
}

// --- Groups ----------------------------------------------------------------------------------

CGroupsDlg::CGroupsDlg(CTelmioDoc& doc, QWidget* parent)
    : QDialog(parent), m_boxUi(this), m_book(doc, m_boxUi) {
    setWindowTitle("Groups");
    m_defineRunner = [](CDefineGroupDlg& dlg) { dlg.exec(); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pList = new QTreeWidget(this);
    m_pList->setHeaderLabels({"Name"});
    m_pList->setColumnWidth(0, 216);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setMouseTracking(true);
    layout->addWidget(m_pList, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Group:", this));
    m_pName = new QLineEdit(this);
    row->addWidget(m_pName, 1);
    m_pAddButton = new QPushButton("Add", this);
    row->addWidget(m_pAddButton);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    m_pOpen = new QPushButton("Add Contact", this);
    m_pDelete = new QPushButton("Delete Group", this);
    buttons->addWidget(m_pOpen);
    buttons->addWidget(m_pDelete);
    layout->addLayout(buttons);
    for (QPushButton* b : {m_pAddButton, m_pOpen, m_pDelete}) b->setAutoDefault(false);
    connect(m_pAddButton, &QPushButton::clicked, this, &CGroupsDlg::Add);
    connect(m_pOpen, &QPushButton::clicked, this, &CGroupsDlg::OpenGroup);
    connect(m_pDelete, &QPushButton::clicked, this, &CGroupsDlg::DeleteGroups);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CGroupsDlg::UpdateButtons);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, &CGroupsDlg::OpenGroup);
    m_book.LoadPhonebook();
    Fill();
    resize(240, 300);
}

void CGroupsDlg::Fill() {
    LoadGroupNames(m_book.m_groups, m_book.GroupsFolder());
    m_pList->clear();
    for (const CSmsGroup& g : m_book.m_groups) {
        auto* item = new CNameItem(m_pList, {QString("%1 (%2)").arg(Q(g.m_strName)).arg(g.m_nCount)});
        item->setData(0, kPtrRole, Q(g.m_strName));
    }
    m_pList->sortItems(0, Qt::AscendingOrder);
    UpdateButtons();
}

void CGroupsDlg::UpdateButtons() {
    bool selected = !m_pList->selectedItems().isEmpty();
    m_pOpen->setEnabled(selected);
    m_pDelete->setEnabled(selected);
}

void CGroupsDlg::Add() {
    std::u16string name = U(m_pName->text());
    std::u16string why = CheckNewGroupName(m_book.m_groups, name);
    if (!why.empty()) {
        CMessageBoxes::Show(this, Q(why));
        if (name.empty()) m_pName->setFocus();
        else m_pName->clear();
        return;
    }
    if (!CreateGroup(m_book.AppDir(), name)) {
        CMessageBoxes::Show(this, "Save failed.");
        return;
    }
    m_pName->clear();
    Fill();
    auto found = m_pList->findItems(Q(name) + " (0)", Qt::MatchExactly, 0);
    if (!found.isEmpty()) {
        m_pList->scrollToItem(found.front());
        m_pList->setCurrentItem(found.front());
    }
}

void CGroupsDlg::OpenGroup() {
    QTreeWidgetItem* item = m_pList->currentItem();
    if (!item) return;
    QString name = item->data(0, kPtrRole).toString();
    {
        CDefineGroupDlg dlg(m_book, U(name), this);
        m_defineRunner(dlg);
    }  // written here
    Fill();
}

void CGroupsDlg::DeleteGroups() {
    auto rows = m_pList->selectedItems();
    if (rows.isEmpty()) return;
    if (!CMessageBoxes::Ask(this, "Do you really want to delete the group?")) return;
    for (QTreeWidgetItem* row : rows) DeleteGroup(m_book.AppDir(), U(row->data(0, kPtrRole).toString()));
    Fill();
}

}  // namespace kvo::ui
