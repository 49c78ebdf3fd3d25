#include "telmio/ui/sms_service_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <map>

#include "telmio/contacts/phonebook.h"
#include "telmio/ui/sms_editor.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

namespace {
constexpr int kServiceRole = Qt::UserRole + 3;
}

CServiceSendDlg::CServiceSendDlg(CTelmioDoc& doc, const CSmsService& service, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_strText(service.m_strFields[6]) {
    setWindowTitle(Q(service.m_strFields[1]));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(Q(m_strText).replace("\r\n", "\n"), this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Phone", this));
    m_pPhone = new QLineEdit(Q(service.m_strFields[3]), this);
    row->addWidget(m_pPhone, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    m_pSend = new QPushButton("Send", this);
    m_pSendNow = new QPushButton("Send now", this);
    auto* ok = new QPushButton("OK", this);
    for (QPushButton* b : {m_pSend, m_pSendNow, ok}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    auto update = [this] {
        bool can = !m_strText.empty() && IsValidNumber(U(m_pPhone->text()));
        m_pSend->setEnabled(can);
        m_pSendNow->setEnabled(can);
    };
    connect(m_pPhone, &QLineEdit::textChanged, this, update);
    connect(m_pSend, &QPushButton::clicked, this, &CServiceSendDlg::Send);
    connect(m_pSendNow, &QPushButton::clicked, this, &CServiceSendDlg::SendNow);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    update();
    resize(240, 160);
}

void CServiceSendDlg::Send() {
    if (!m_pSend->isEnabled()) return;
    if (m_doc.QueueMessage(U(m_pPhone->text()), m_strText, false) == 0) {
        CMessageBoxes::Show(this, "Can not create SMS message");
        return;
    }
    emit StoreChanged();
    accept();
}

void CServiceSendDlg::SendNow() {
    if (!m_pSendNow->isEnabled()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::u16string result = m_doc.SendNow(U(m_pPhone->text()), m_strText, false);
    QApplication::restoreOverrideCursor();
    emit StoreChanged();
    CMessageBoxes::Show(this, Q(result));
    if (Q(result) == kSentOk) accept();
}

CSmsServiceDlg::CSmsServiceDlg(CTelmioDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    const CSmsInfo& info = doc.SmsInfo();
    setWindowTitle(QString("Operator: %1").arg(Q(doc.Operator().m_strName)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_pTree = new QTreeWidget(this);
    m_pTree->setHeaderHidden(true);
    layout->addWidget(m_pTree);
    std::map<std::u16string, QTreeWidgetItem*> groups;
    for (size_t i = 0; i < info.m_services.size(); ++i) {
        const CSmsService& s = info.m_services[i];
        QTreeWidgetItem* parentItem = nullptr;
        if (!s.m_strFields[0].empty()) {
            auto& g = groups[s.m_strFields[0]];
            if (!g) g = new QTreeWidgetItem(m_pTree, {Q(s.m_strFields[0])});
            parentItem = g;
        }
        QString name = Q(s.m_strFields[1].empty() ? s.m_strFields[0] : s.m_strFields[1]);
        auto* item = parentItem ? new QTreeWidgetItem(parentItem, {name})
                                : new QTreeWidgetItem(m_pTree, {name});
        item->setData(0, kServiceRole, static_cast<int>(i));
    }
    m_pTree->expandAll();
    connect(m_pTree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        CServiceSendDlg* form = MakeSendForm(item);
        if (!form) return;
        form->exec();
        delete form;
        accept();
    });
    resize(240, 300);
}

CServiceSendDlg* CSmsServiceDlg::MakeSendForm(QTreeWidgetItem* item) {
    QVariant index = item->data(0, kServiceRole);
    if (!index.isValid() || item->childCount() > 0 || item->text(0).isEmpty()) return nullptr;
    auto* form = new CServiceSendDlg(m_doc, m_doc.SmsInfo().m_services[index.toInt()], this);
    connect(form, &CServiceSendDlg::StoreChanged, this, &CSmsServiceDlg::StoreChanged);
    return form;
}

}  // namespace kvo::ui
