#include "telmio/ui/select_contacts_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "telmio/contacts/contacts_access.h"

namespace kvo::ui {

namespace {

constexpr int kTickRole = Qt::UserRole + 1;
constexpr int kEntryRole = Qt::UserRole + 2;

QPixmap TickBox(bool bTicked) {
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 11, 11));
    if (bTicked) {
        p.setPen(QPen(Qt::black, 2));
        p.drawPolyline(QPolygonF{QPointF(3.5, 7), QPointF(6, 10), QPointF(10.5, 4)});
    }
    return pm;
}

// Name order without regard to case, numbers as text; the first column by tick.
class CSortItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        int c = treeWidget() ? treeWidget()->sortColumn() : 1;
        if (c == 0) return IsTicked(this) < IsTicked(&other);
        QVariant a = data(c, Qt::UserRole), b = other.data(c, Qt::UserRole);
        if (a.isValid() && b.isValid()) return a.toULongLong() < b.toULongLong();
        return text(c).compare(other.text(c), Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

void SetTickImage(QTreeWidgetItem* item, bool bTicked) {
    item->setData(0, kTickRole, bTicked);
    item->setIcon(0, QIcon(TickBox(bTicked)));
}

bool IsTicked(const QTreeWidgetItem* item) { return item->data(0, kTickRole).toBool(); }

void SearchByName(QTreeWidget* list, const QString& text, int column) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->text(column).startsWith(text, Qt::CaseInsensitive)) {
            list->clearSelection();
            list->scrollToItem(item, QAbstractItemView::PositionAtTop);
            list->setCurrentItem(item);
            item->setSelected(true);
            return;
        }
    }
}

CSelectContactsDlg::CSelectContactsDlg(CBookList& contacts, uint32_t storages, QWidget* parent)
    : QDialog(parent), m_boxUi(this), m_contacts(contacts) {
    setWindowTitle("Select Contacts");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pList = new QTreeWidget(this);
    m_pList->setHeaderLabels({"", "Name", "Tel. Number", ""});
    m_pList->setColumnWidth(0, 20);
    m_pList->setColumnWidth(1, 90);
    m_pList->setColumnWidth(2, 75);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->header()->setSectionsClickable(true);
    layout->addWidget(m_pList, 1);
    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel("Name", this));
    m_pSearch = new QLineEdit(this);
    search->addWidget(m_pSearch, 1);
    layout->addLayout(search);
    auto* to = new QHBoxLayout;
    to->addWidget(new QLabel("Import to:", this));
    m_pImportTo = new QComboBox(this);
    m_pImportTo->addItems({"Phone", "SIM"});
    m_pImportTo->setCurrentIndex(storages & STORAGE_PHONE ? 0 : 1);
    m_pImportTo->setEnabled((storages & STORAGE_PHONE) && (storages & STORAGE_SIM));
    to->addWidget(m_pImportTo, 1);
    layout->addLayout(to);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pSearch, &QLineEdit::textChanged, this, &CSelectContactsDlg::Search);
    connect(m_pList->header(), &QHeaderView::sectionClicked, this,
            &CSelectContactsDlg::HeaderTapped);
    connect(m_pList, &QTreeWidget::itemClicked, this, [](QTreeWidgetItem* item, int column) {
        if (column == 0) SetTickImage(item, !IsTicked(item));
    });

    m_contacts.clear();
    LoadContacts(m_contacts, m_boxUi);
    for (CBookEntry* e : SelectContactsRows(m_contacts)) {
        auto* item = new CSortItem(m_pList, {"", Q(e->m_strName), Q(e->m_strNumber),
                                             Q(NumberKinds(*e))});
        item->setData(0, kEntryRole, QVariant::fromValue(static_cast<void*>(e)));
        SetTickImage(item, false);
    }
    m_pList->sortItems(1, Qt::AscendingOrder);
    resize(240, 300);
}

void CSelectContactsDlg::HeaderTapped(int column) {
    if (column == 0) {
        bool all = m_pList->topLevelItemCount() > 0;
        for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
            all = all && IsTicked(m_pList->topLevelItem(i));
        for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
            SetTickImage(m_pList->topLevelItem(i), !all);
        return;
    }
    if (column > 2) return;
    m_order = column == m_nSortColumn && m_order == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                         : Qt::AscendingOrder;
    m_nSortColumn = column;
    m_pList->sortItems(column, m_order);
}

void CSelectContactsDlg::Search(const QString& text) { SearchByName(m_pList, text, 1); }

uint32_t CSelectContactsDlg::Storage() const {
    return m_pImportTo->currentIndex() == 0 ? STORAGE_PHONE : STORAGE_SIM;
}

std::vector<const CBookEntry*> CSelectContactsDlg::Ticked() const {
    std::vector<const CBookEntry*> out;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_pList->topLevelItem(i);
        auto* e = static_cast<CBookEntry*>(item->data(0, kEntryRole).value<void*>());
        e->m_nTicked = IsTicked(item) ? 1 : 0;
        if (e->m_nTicked) out.push_back(e);
    }
    return out;
}

}  // namespace kvo::ui
