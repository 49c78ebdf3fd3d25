#include "telmio/ui/message_list.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>

namespace kvo::ui {

namespace {
constexpr int kHoldMs = 600;
}

CMessageList::CMessageList(CMessageModel* model, QWidget* parent)
    : QTreeView(parent), m_pModel(model), m_pProxy(new QSortFilterProxyModel(this)) {
    model->setParent(this);
    m_pProxy->setSourceModel(model);
    m_pProxy->setSortRole(CMessageModel::kSortRole);
    m_pProxy->setDynamicSortFilter(false);
    setModel(m_pProxy);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);  // track select: the row under the pointer is highlighted
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(18, 16));
    // The handheld's list font is small: its 80-pixel columns hold a whole time.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(true);
    header()->setMinimumSectionSize(20);
    auto widths = WidthsOfFolder(model->Folder());
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) setColumnWidth(i, widths[i]);
    header()->setSectionResizeMode(0, QHeaderView::Fixed);
    connect(header(), &QHeaderView::sectionClicked, this, &CMessageList::HeaderTapped);
    m_hold.setSingleShot(true);
    m_hold.setInterval(kHoldMs);
    connect(&m_hold, &QTimer::timeout, this, [this] {
        m_bHoldFired = true;
        QModelIndex shown = indexAt(m_holdPos);
        emit MoveMenuRequested(viewport()->mapToGlobal(m_holdPos),
                               shown.isValid() ? SourceRow(shown.row()) : -1);
    });
}

CSmsMessage* CMessageList::Current() const { return m_pModel->Message(CurrentSourceRow()); }

int CMessageList::CurrentSourceRow() const {
    QModelIndex i = currentIndex();
    return i.isValid() ? m_pProxy->mapToSource(i).row() : -1;
}

int CMessageList::SourceRow(int shownRow) const {
    return m_pProxy->mapToSource(m_pProxy->index(shownRow, 0)).row();
}

void CMessageList::HeaderTapped(int column) {
    if (column == 0) {
        if (m_busy && m_busy()) return;
        m_pModel->TickAll(m_bTickAllNext);
        m_bTickAllNext = !m_bTickAllNext;
        return;
    }
    m_order = column == m_nSortColumn && m_order == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                         : Qt::AscendingOrder;
    m_nSortColumn = column;
    m_pProxy->sort(column, m_order);
}

void CMessageList::Reload() {
    m_pModel->Reload();
    if (m_nSortColumn > 0) m_pProxy->sort(m_nSortColumn, m_order);
}

void CMessageList::mousePressEvent(QMouseEvent* e) {
    QTreeView::mousePressEvent(e);
    QModelIndex shown = indexAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !shown.isValid()) return;
    if (shown.column() == 0 && !(m_busy && m_busy())) {
        int row = m_pProxy->mapToSource(shown).row();
        m_pModel->SetTicked(row, !m_pModel->Message(row)->m_bMarked);
        return;
    }
    m_holdPos = e->position().toPoint();
    m_bHoldFired = false;
    m_hold.start();
}

void CMessageList::mouseReleaseEvent(QMouseEvent* e) {
    m_hold.stop();
    QTreeView::mouseReleaseEvent(e);
}

void CMessageList::mouseMoveEvent(QMouseEvent* e) {
    if (m_hold.isActive() && (e->position().toPoint() - m_holdPos).manhattanLength() > 8)
        m_hold.stop();
    QTreeView::mouseMoveEvent(e);
}

void CMessageList::mouseDoubleClickEvent(QMouseEvent* e) {
    m_hold.stop();
    QModelIndex shown = indexAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !shown.isValid()) return;
    // On the first column the press of the double tap has toggled the tick already.
    if (shown.column() != 0) emit OpenRequested(m_pProxy->mapToSource(shown).row());
}

void CMessageList::contextMenuEvent(QContextMenuEvent* e) {
    if (m_bHoldFired) return;
    QModelIndex shown = indexAt(e->pos());
    emit MoveMenuRequested(e->globalPos(), shown.isValid() ? SourceRow(shown.row()) : -1);
}

}  // namespace kvo::ui
