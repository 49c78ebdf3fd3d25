// A folder's message list with the handheld's touch behaviour: the first column ticks, its
// header ticks or unticks all, other headers sort and reverse, a double tap opens, tap and
// hold (or the right button) asks for the move menu.
#pragma once
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "telmio/ui/message_model.h"

namespace kvo::ui {

class CMessageList : public QTreeView {
    Q_OBJECT
public:
    CMessageList(CMessageModel* model, QWidget* parent = nullptr);
    CMessageModel* Model() const { return m_pModel; }
    QSortFilterProxyModel* Proxy() const { return m_pProxy; }
    // The message of the current row, or null.
    CSmsMessage* Current() const;
    int CurrentSourceRow() const;
    // Rows in the order shown.
    int SourceRow(int shownRow) const;

    // Header taps, as a person makes them.
    void HeaderTapped(int column);
    int SortColumn() const { return m_nSortColumn; }
    Qt::SortOrder SortOrder() const { return m_order; }
    // Reloads the model and keeps the sorting.
    void Reload();
    // Ticks change messages, so none while a session works on them.
    void SetBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }

signals:
    void OpenRequested(int sourceRow);
    void MoveMenuRequested(const QPoint& globalPos, int sourceRow);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    CMessageModel* m_pModel;
    QSortFilterProxyModel* m_pProxy;
    int m_nSortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
    bool m_bTickAllNext = true;
    QTimer m_hold;  // tap and hold
    QPoint m_holdPos;
    bool m_bHoldFired = false;
    std::function<bool()> m_busy;
};

}  // namespace kvo::ui
