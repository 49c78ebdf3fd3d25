// One folder's messages as a table: the first column shows the read and tick images, the
// others the columns of the folder's list.
#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "telmio/sms/message_store.h"

namespace kvo::ui {

// Which list shows which folder: Inbox has "From"; Outbox, Sent Messages and Draft have
// "To"; Templates only "Time" and "Message"; user folders and the Recycle Bin, which hold
// both directions, "Number".
QStringList ColumnsOfFolder(int folder);
std::vector<int> WidthsOfFolder(int folder);

class CMessageModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `folder` is a view folder of sms_folders.h; `userFolder` the id shown in FOLDER_USER.
    CMessageModel(CSmsStore& store, int folder, QObject* parent = nullptr);
    int Folder() const { return m_nFolder; }
    void SetUserFolder(int id);
    int UserFolder() const { return m_nUserFolder; }
    // Takes the store's messages of the folder again.
    void Reload();

    CSmsMessage* Message(int row) const;
    std::vector<CSmsMessage*> Ticked() const;
    void SetTicked(int row, bool bTicked);
    void TickAll(bool bTicked);
    // Shows the row again after its message changed.
    void RowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    static constexpr int kSortRole = Qt::UserRole + 1;

private:
    CSmsStore& m_store;
    int m_nFolder;
    int m_nUserFolder = 0;
    QStringList m_columns;
    // What the list shows, copied when the model is filled: a session thread may change the
    // messages while the list paints.
    struct Row {
        CSmsMessage* pMsg;
        QString strNumber, strText, strTime, strDate;
        double dTime;
        bool bRead, bTicked;
    };
    static Row Snapshot(CSmsMessage* m);
    std::vector<Row> m_rows;
};

QString FormatTime(const CSmsMessage& msg);
// The text on one line, as the list shows it.
QString OneLine(QString text);

}  // namespace kvo::ui
