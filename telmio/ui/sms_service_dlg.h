// "SMS Service": the operator's services as a tree (first field the group, second the
// service); a service without sub-entries opens a small send form with its number and text.
#pragma once
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "telmio/session/telmio_doc.h"

namespace kvo::ui {

class CServiceSendDlg : public QDialog {
    Q_OBJECT
public:
    CServiceSendDlg(CTelmioDoc& doc, const CSmsService& service, QWidget* parent = nullptr);
    QLineEdit* Phone() const { return m_pPhone; }
    QPushButton* SendButton() const { return m_pSend; }
    QPushButton* SendNowButton() const { return m_pSendNow; }

public slots:
    void Send();
    void SendNow();

signals:
    void StoreChanged();

private:
    CTelmioDoc& m_doc;
    std::u16string m_strText;
    QLineEdit* m_pPhone;
    QPushButton *m_pSend, *m_pSendNow;
};

class CSmsServiceDlg : public QDialog {
    Q_OBJECT
public:
    CSmsServiceDlg(CTelmioDoc& doc, QWidget* parent = nullptr);
    QTreeWidget* Tree() const { return m_pTree; }
    // The send form for a service row; null for a group row.
    CServiceSendDlg* MakeSendForm(QTreeWidgetItem* item);

signals:
    void StoreChanged();

private:
    CTelmioDoc& m_doc;
    QTreeWidget* m_pTree;
};

}  // namespace kvo::ui
