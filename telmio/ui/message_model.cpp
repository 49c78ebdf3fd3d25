#include "telmio/ui/message_model.h"

#include <QPixmap>

#include "telmio/sms/sms_folders.h"
#include "telmio/ui/images.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

QStringList ColumnsOfFolder(int folder) {
    switch (folder) {
    case FOLDER_INBOX: return {"", "From", "Time", "Message"};
    case FOLDER_OUTBOX:
    case FOLDER_SENT:
    case FOLDER_DRAFT: return {"", "To", "Time", "Message"};
    case FOLDER_TEMPLATES: return {"", "Time", "Message"};
    default: return {"", "Number", "Time", "Message"};
    }
}

std::vector<int> WidthsOfFolder(int folder) {
    if (folder == FOLDER_TEMPLATES) return {20, 80, 200};
    return {20, 80, 80, 200};
}

QString FormatTime(const CSmsMessage& msg) {
    ce::SYSTEMTIME t{};
    if (!msg.m_time.ToSystemTime(t)) return {};
    // Day, month and time fit the handheld's 80 pixels; the tooltip has the year.
    return QString::asprintf("%02u.%02u. %02u:%02u", t.wDay, t.wMonth, t.wHour, t.wMinute);
}

QString OneLine(QString s) {
    s.replace("\r\n", " ");
    s.replace('\n', ' ');
    return s;
}

CMessageModel::CMessageModel(CSmsStore& store, int folder, QObject* parent)
    : QAbstractTableModel(parent), m_store(store), m_nFolder(folder),
      m_columns(ColumnsOfFolder(folder)) {}

void CMessageModel::SetUserFolder(int id) {
    m_nUserFolder = id;
    Reload();
}

void CMessageModel::Reload() {
    beginResetModel();
    m_rows.clear();
    for (auto& m : m_store.Messages()) {
        if (FolderOfState(m->m_nState) != m_nFolder) continue;
        if (m_nFolder == FOLDER_USER && m->m_nFolder != m_nUserFolder) continue;
        m_rows.push_back(Snapshot(m.get()));
    }
    endResetModel();
}

CMessageModel::Row CMessageModel::Snapshot(CSmsMessage* m) {
    ce::SYSTEMTIME t{};
    QString date = m->m_time.ToSystemTime(t)
                       ? QString::asprintf("%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth,
                                           t.wDay, t.wHour, t.wMinute, t.wSecond)
                       : QString();
    return Row{m, Q(m->m_strNumber), Q(m->m_strText), FormatTime(*m), date, m->m_time.m_dt,
               m->m_nState != SMS_UNREAD, m->m_bMarked};
}

CSmsMessage* CMessageModel::Message(int row) const {
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? m_rows[row].pMsg : nullptr;
}

std::vector<CSmsMessage*> CMessageModel::Ticked() const {
    std::vector<CSmsMessage*> out;
    for (const Row& r : m_rows)
        if (r.pMsg->m_bMarked) out.push_back(r.pMsg);
    return out;
}

void CMessageModel::SetTicked(int row, bool bTicked) {
    if (CSmsMessage* m = Message(row)) {
        m->m_bMarked = bTicked;
        RowChanged(row);
    }
}

void CMessageModel::TickAll(bool bTicked) {
    for (Row& r : m_rows) r.bTicked = r.pMsg->m_bMarked = bTicked;
    if (!m_rows.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

void CMessageModel::RowChanged(int row) {
    if (row < 0 || row >= rowCount()) return;
    m_rows[row] = Snapshot(m_rows[row].pMsg);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int CMessageModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CMessageModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CMessageModel::data(const QModelIndex& index, int role) const {
    if (index.row() < 0 || index.row() >= rowCount()) return {};
    const Row& r = m_rows[index.row()];
    const QString& column = m_columns[index.column()];
    if (index.column() == 0) {
        if (role == Qt::DecorationRole) return MessageImage(r.bRead, r.bTicked);
        if (role == kSortRole) return (r.bTicked ? 2 : 0) + (r.bRead ? 1 : 0);
        if (role == Qt::AccessibleTextRole)
            return QString(r.bRead ? "read" : "unread") + (r.bTicked ? ", ticked" : "");
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (column == "Time") return role == Qt::ToolTipRole ? r.strDate : r.strTime;
        if (column == "Message") return role == Qt::ToolTipRole ? r.strText : OneLine(r.strText);
        return r.strNumber;
    }
    if (role == kSortRole) {
        if (column == "Time") return r.dTime;
        if (column == "Message") return r.strText.toLower();
        return r.strNumber;
    }
    return {};
}

QVariant CMessageModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < m_columns.size())
        return m_columns[section];
    return QAbstractTableModel::headerData(section, o, role);
}

}  // namespace kvo::ui
