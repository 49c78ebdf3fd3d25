#include "telmio/ui/select_number_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QThread>
#include <QVBoxLayout>

#include "telmio/contacts/contacts_access.h"
#include "telmio/session/telmio_doc.h"

namespace kvo::ui {

namespace {

QTreeWidget* MakeList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setHeaderLabels({"Name", "Tel. Number"});
    list->setColumnWidth(0, 130);
    list->setColumnWidth(1, 80);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setMouseTracking(true);
    return list;
}

}  // namespace

CSelectNumberDlg::CSelectNumberDlg(CTelmioDoc& doc, QWidget* parent)
    : QDialog(parent), m_boxUi(this), m_book(doc, m_boxUi) {
    setWindowTitle("Select the phone number");
    // The lists come from files a running synchronisation may be writing.
    while (doc.Flags().m_bBusy) QThread::msleep(200);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QMenuBar(this);
    bar->addMenu("Refresh contacts")->addAction("Refresh now", this,
                                                 &CSelectNumberDlg::RefreshContacts);
    layout->setMenuBar(bar);
    m_pTabs = new QTabWidget(this);
    m_pContacts = MakeList(m_pTabs);
    m_pPhonebook = MakeList(m_pTabs);
    m_pTabs->addTab(m_pContacts, "Contacts");
    m_pTabs->addTab(m_pPhonebook, "Phonebook");
    layout->addWidget(m_pTabs, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Group", this));
    m_pGroup = new QComboBox(this);
    m_pGroup->addItem("None");
    LoadGroupNames(m_book.m_groups, m_book.GroupsFolder());
    for (const CSmsGroup& g : m_book.m_groups) m_pGroup->addItem(Q(g.m_strName));
    row->addWidget(m_pGroup, 1);
    layout->addLayout(row);
    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel("Name", this));
    m_pSearch = new QLineEdit(this);
    search->addWidget(m_pSearch, 1);
    layout->addLayout(search);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        m_strResult = BuildResult();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pSearch, &QLineEdit::textChanged, this, &CSelectNumberDlg::Search);

    m_book.LoadPhonebook();
    m_book.m_contacts.clear();
    LoadContacts(m_book.m_contacts, m_boxUi);
    std::vector<CBookEntry*> contacts, phonebook;
    for (auto& e : m_book.m_contacts) contacts.push_back(e.get());
    for (auto& e : m_book.m_phonebook.m_entries) phonebook.push_back(e.get());
    Fill(m_pContacts, contacts);
    Fill(m_pPhonebook, phonebook);
    resize(240, 300);
}

void CSelectNumberDlg::Fill(QTreeWidget* list, const std::vector<CBookEntry*>& entries) {
    list->clear();
    for (CBookEntry* e : entries) {
        if (e->m_strNumber.empty()) continue;
        e->m_nTicked = 0;
        auto* item = new QTreeWidgetItem(list, {Q(e->m_strName), Q(e->m_strNumber)});
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(e)));
    }
    // Names sort without regard to case.
    QList<QTreeWidgetItem*> items;
    while (list->topLevelItemCount()) items.append(list->takeTopLevelItem(0));
    std::stable_sort(items.begin(), items.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return a->text(0).compare(b->text(0), Qt::CaseInsensitive) < 0;
    });
    list->addTopLevelItems(items);
}

void CSelectNumberDlg::RefreshContacts() {
    m_book.m_contacts.clear();
    LoadContacts(m_book.m_contacts, m_boxUi);
    std::vector<CBookEntry*> contacts;
    for (auto& e : m_book.m_contacts) contacts.push_back(e.get());
    Fill(m_pContacts, contacts);
}

void CSelectNumberDlg::Search(const QString& text) {
    auto* list = static_cast<QTreeWidget*>(m_pTabs->currentWidget());
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->text(0).startsWith(text, Qt::CaseInsensitive)) {
            list->clearSelection();
            list->scrollToItem(item, QAbstractItemView::PositionAtTop);
            item->setSelected(true);
            list->setCurrentItem(item);
            return;
        }
    }
}

QString CSelectNumberDlg::BuildResult() {
    for (QTreeWidget* list : {m_pContacts, m_pPhonebook})
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            auto* e = static_cast<CBookEntry*>(item->data(0, Qt::UserRole).value<void*>());
            e->m_nTicked = item->checkState(0) == Qt::Checked ? 1 : 0;
        }
    std::vector<std::u16string> groupNumbers;
    if (m_pGroup->currentIndex() > 0)
        m_book.ExpandGroup(U(m_pGroup->currentText()), groupNumbers);
    return Q(BuildRecipients(groupNumbers, m_book.m_contacts, m_book.m_phonebook.m_entries));
}

}  // namespace kvo::ui
