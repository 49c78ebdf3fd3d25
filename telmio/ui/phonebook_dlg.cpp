#include "telmio/ui/phonebook_dlg.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>

#include "kvocomm/kvocomm.h"
#include "telmio/contacts/contacts_access.h"
#include "telmio/session/telmio_doc.h"
#include "telmio/ui/images.h"
#include "telmio/ui/select_contacts_dlg.h"

namespace kvo::ui {

namespace {

const char kSelectEntry[] = "Failed, you have to select an entry first.";
constexpr int kEntryRole = Qt::UserRole + 2;

class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
};

// Sorting: names without regard to case, "#" by number.
class CEntryItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        int c = treeWidget() ? treeWidget()->sortColumn() : 1;
        if (c == 3) return text(3).toULongLong() < other.text(3).toULongLong();
        return text(c).compare(other.text(c), Qt::CaseInsensitive) < 0;
    }
};

CPhonebookEntry* EntryOf(const QTreeWidgetItem* item) {
    return item ? static_cast<CPhonebookEntry*>(item->data(0, kEntryRole).value<void*>())
                : nullptr;
}

}  // namespace

// --- the entry dialog ------------------------------------------------------------------------

CPhonebookEntryDlg::CPhonebookEntryDlg(const CPhonebook& pb, uint32_t storages,
                                       const CPhonebookEntry* entry, QWidget* parent)
    : QDialog(parent), m_pb(pb) {
    setWindowTitle("Phonebook");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_pName = new QLineEdit(this);
    m_pNumber = new QLineEdit(this);
    m_pStorage = new QComboBox(this);
    m_pStorage->addItems({"SIM", "Phone"});
    form->addRow("Name:", m_pName);
    form->addRow("Tel. Number:", m_pNumber);
    form->addRow("Save:", m_pStorage);
    layout->addLayout(form);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    m_pOk = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    buttons->addWidget(m_pOk);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(m_pOk, &QPushButton::clicked, this, &CPhonebookEntryDlg::TryAccept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pName, &QLineEdit::textChanged, this, &CPhonebookEntryDlg::UpdateOk);
    connect(m_pNumber, &QLineEdit::textChanged, this, &CPhonebookEntryDlg::UpdateOk);

    if (entry) {
        m_place = PlaceExistingEntry(pb, entry->m_nId);
        m_pName->setText(Q(entry->m_strName));
        m_pNumber->setText(Q(entry->m_strNumber));
    } else {
        m_place = PlaceNewEntry(pb, storages);
        if (!m_place.nId) CMessageBoxes::Show(parent, Q(m_place.strMessage));
    }
    ApplyPlace();
    connect(m_pStorage, &QComboBox::activated, this, [this](int choice) {
        EntryPlace place = ChangeEntryStorage(m_pb, choice);
        if (!place.nId) {
            CMessageBoxes::Show(this, Q(place.strMessage));
            m_place.nId = 0;
            m_pStorage->setCurrentIndex(-1);
            return;
        }
        place.bChoiceEnabled = true;
        m_place = place;
        ApplyPlace();
    });
    UpdateOk();
    resize(240, 160);
}

void CPhonebookEntryDlg::ApplyPlace() {
    m_pStorage->setCurrentIndex(m_place.Choice());
    m_pStorage->setEnabled(m_place.bChoiceEnabled);
    if (m_place.nNameLen > 0) m_pName->setMaxLength(m_place.nNameLen);
    if (m_place.nNumberLen > 0) m_pNumber->setMaxLength(m_place.nNumberLen);
}

void CPhonebookEntryDlg::UpdateOk() { m_pOk->setEnabled(CanAcceptEntry(Name(), Number())); }

void CPhonebookEntryDlg::TryAccept() {
    std::u16string why = CheckEntry(Name(), Number(), m_place.nId);
    if (!why.empty()) {
        CMessageBoxes::Show(this, Q(why));
        return;
    }
    accept();
}

// --- the Phonebook dialog --------------------------------------------------------------------

CPhonebookDlg::CPhonebookDlg(CTelmioDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_boxUi(this), m_book(doc, m_boxUi) {
    setWindowTitle("Phonebook");
    // The phonebook file may be written by a running synchronisation.
    while (doc.Flags().m_bBusy) QThread::msleep(200);
    m_entryRunner = [](CPhonebookEntryDlg& dlg) { return dlg.exec() == QDialog::Accepted; };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_pList = new QTreeWidget(this);
    m_pList->setHeaderLabels({" ", "Name", "Tel. Number", "#"});
    const int widths[] = {20, 90, 75, 35};
    for (int i = 0; i < 4; ++i) m_pList->setColumnWidth(i, widths[i]);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setMouseTracking(true);
    m_pList->header()->setSectionsClickable(true);
    layout->addWidget(m_pList, 1);
    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel("Name", this));
    m_pSearch = new QLineEdit(this);
    search->addWidget(m_pSearch, 1);
    layout->addLayout(search);
    m_pStatus = new QLabel(this);
    layout->addWidget(m_pStatus);
    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(16, 16));
    bar->setStyleSheet("QToolButton { padding: 1px; margin: 0px; }");
    struct Tool {
        const char *symbol, *tip;
        QColor colour;
        void (CPhonebookDlg::*slot)();
    };
    const QColor blue(0, 110, 220), green(0, 140, 0), red(200, 30, 30), dark(40, 40, 40);
    const Tool tools[] = {
        {"+", "New Phonebook entry", green, &CPhonebookDlg::NewEntry},
        {"\u270E", "Edit Phonebook entry", dark, &CPhonebookDlg::EditEntry},
        {"\u2715", "Delete Phonebook entry", red, &CPhonebookDlg::DeleteEntries},
        {"\u21BB", "Synchronize Phonebook", blue, &CPhonebookDlg::Synchronize},
        {"\u21E5", "Export entries to Contacts", dark, &CPhonebookDlg::ExportEntries},
        {"\u21E4", "Import entries from Contacts...", dark, &CPhonebookDlg::ImportEntries},
        {"\u260E", "Call Contact", green, &CPhonebookDlg::Call},
        {"\u2709", "Send SMS", blue, &CPhonebookDlg::SendSms},
    };
    for (int i = 0; i < 8; ++i) {
        if (i == 3) bar->addSeparator();
        m_tools[i] = bar->addAction(SymbolIcon(QString::fromUtf8(tools[i].symbol), tools[i].colour),
                                    tools[i].tip);
        m_tools[i]->setToolTip(tools[i].tip);
        connect(m_tools[i], &QAction::triggered, this, tools[i].slot);
    }
    layout->addWidget(bar);
    connect(m_pSearch, &QLineEdit::textChanged, this,
            [this](const QString& t) { SearchByName(m_pList, t, 1); });
    connect(m_pList->header(), &QHeaderView::sectionClicked, this, &CPhonebookDlg::HeaderTapped);
    connect(m_pList, &QTreeWidget::itemClicked, this, [](QTreeWidgetItem* item, int column) {
        if (column != 0) return;
        SetTickImage(item, !IsTicked(item));
        EntryOf(item)->m_nTicked = IsTicked(item) ? 1 : 0;
    });
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int column) {
        if (column != 0) EditEntry();
    });
    m_book.LoadPhonebook();
    Rebuild();
    resize(240, 300);
}

QTreeWidgetItem* CPhonebookDlg::AddRow(CPhonebookEntry* e) {
    auto* item = new CEntryItem(m_pList, {"", Q(e->m_strName), Q(e->m_strNumber),
                                          QString::asprintf("%lu", static_cast<unsigned long>(e->Index()))});
    item->setData(0, kEntryRole, QVariant::fromValue(static_cast<void*>(e)));
    SetTickImage(item, e->m_nTicked != 0);
    return item;
}

void CPhonebookDlg::Rebuild() {
    m_pList->clear();
    for (CPhonebookEntry* e : PhonebookRows(m_book.m_phonebook, m_book.Storages())) AddRow(e);
    m_pList->sortItems(m_nSortColumn, m_order);
}

void CPhonebookDlg::HeaderTapped(int column) {
    if (column == 0) {
        for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = m_pList->topLevelItem(i);
            SetTickImage(item, m_bTickAllNext);
            EntryOf(item)->m_nTicked = m_bTickAllNext ? 1 : 0;
        }
        m_bTickAllNext = !m_bTickAllNext;
        return;
    }
    m_order = column == m_nSortColumn && m_order == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                         : Qt::AscendingOrder;
    m_nSortColumn = column;
    m_pList->sortItems(column, m_order);
}

CPhonebookEntry* CPhonebookDlg::Selected() const { return EntryOf(m_pList->currentItem()); }

void CPhonebookDlg::NewEntry() {
    CPhonebookEntryDlg dlg(m_book.m_phonebook, m_book.Storages(), nullptr, this);
    if (!dlg.Place().nId || !m_entryRunner(dlg)) return;
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_strName = dlg.Name();
    e->m_strNumber = dlg.Number();
    e->m_nId = dlg.Id();
    CPhonebookEntry& added = m_book.m_phonebook.Append(std::move(e));
    QTreeWidgetItem* item = AddRow(&added);
    m_pList->scrollToItem(item);
    m_pList->setCurrentItem(item);
    if (!m_book.SavePhonebook()) CMessageBoxes::Show(this, "Save failed.");
}

void CPhonebookDlg::EditEntry() {
    CPhonebookEntry* e = Selected();
    if (!e) {
        CMessageBoxes::Show(this, kSelectEntry);
        return;
    }
    CPhonebookEntryDlg dlg(m_book.m_phonebook, m_book.Storages(), e, this);
    if (!m_entryRunner(dlg)) return;
    e->m_strName = dlg.Name();
    e->m_strNumber = dlg.Number();
    e->m_nId = dlg.Id();
    QTreeWidgetItem* item = m_pList->currentItem();
    item->setText(1, Q(e->m_strName));
    item->setText(2, Q(e->m_strNumber));
    if (!m_book.SavePhonebook()) CMessageBoxes::Show(this, "Save failed.");
}

void CPhonebookDlg::DeleteEntries() {
    std::vector<QTreeWidgetItem*> rows;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (IsTicked(m_pList->topLevelItem(i))) rows.push_back(m_pList->topLevelItem(i));
    if (rows.empty())
        for (QTreeWidgetItem* item : m_pList->selectedItems()) rows.push_back(item);
    if (rows.empty()) {
        CMessageBoxes::Show(this, kSelectEntry);
        return;
    }
    if (!CMessageBoxes::Ask(this, "Delete entry from Phonebook?")) return;
    // Blank entries stay until the next synchronisation deletes them on the phone.
    for (QTreeWidgetItem* item : rows) {
        CPhonebookEntry* e = EntryOf(item);
        e->m_strName.clear();
        e->m_strNumber.clear();
        e->m_nTicked = 0;
        delete item;
    }
    if (!m_book.SavePhonebook()) CMessageBoxes::Show(this, "Save failed.");
}

void CPhonebookDlg::Synchronize() {
    if (m_doc.Flags().m_bBusy) return;
    CWaitCursor wait;
    m_pStatus->setText("Synchronizing...");
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::u16string result = m_book.SynchronizePhonebook();
    m_pStatus->clear();
    Rebuild();
    CMessageBoxes::Show(this, Q(result));
}

void CPhonebookDlg::ExportEntries() {
    std::vector<const CPhonebookEntry*> entries;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (IsTicked(m_pList->topLevelItem(i))) entries.push_back(EntryOf(m_pList->topLevelItem(i)));
    if (entries.empty() && Selected()) entries.push_back(Selected());
    if (entries.empty()) {
        CMessageBoxes::Show(this, kSelectEntry);
        return;
    }
    CWaitCursor wait;
    CMessageBoxes::Show(this, Q(ExportToContacts(entries)));
}

void CPhonebookDlg::ImportEntries() {
    CSelectContactsDlg dlg(m_book.m_contacts, m_book.Storages(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    auto contacts = dlg.Ticked();
    if (contacts.empty()) return;
    CWaitCursor wait;
    ImportOutcome out = ImportIntoPhonebook(m_book.m_phonebook, contacts, dlg.Storage(),
                                            [this] { m_book.SavePhonebook(); });
    m_book.SavePhonebook();
    Rebuild();
    m_pList->clearSelection();
    if (!out.strMessage.empty()) CMessageBoxes::Show(this, Q(out.strMessage));
}

void CPhonebookDlg::Call() {
    CPhonebookEntry* e = Selected();
    if (!e || m_doc.Flags().m_bBusy) return;
    std::u16string number = e->m_strNumber;
    if (!CleanNumber(number)) return;
    CWaitCursor wait;
    // No message on failure: the phone either dials or it does not.
    m_doc.Comm().StartSAR();
    if (m_doc.OpenPhone()) {
        std::u16string reply;
        std::string command = "ATD";
        for (char16_t c : number) command += static_cast<char>(c);
        command += ";";
        m_doc.Comm().SendAndReceive(command.c_str(), reply, 0, 10);
    }
    m_doc.Comm().StopSAR();
    m_doc.Comm().ClosePort();
}

void CPhonebookDlg::SendSms() {
    CPhonebookEntry* e = Selected();
    if (!e) {
        CMessageBoxes::Show(this, kSelectEntry);
        return;
    }
    std::u16string number = e->m_strNumber;
    CleanNumber(number);
    emit SendRequested(Q(number));
}

}  // namespace kvo::ui
