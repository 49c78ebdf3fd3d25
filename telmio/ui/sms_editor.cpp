#include "telmio/ui/sms_editor.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/datetime.h"
#include "telmio/contacts/phonebook.h"
#include "telmio/session/handoff.h"
#include "telmio/sms/sms_folders.h"
#include "telmio/ui/select_number_dlg.h"
#include "telmio/ui/window_ui.h"

namespace kvo::ui {

CSmsEditorDlg::CSmsEditorDlg(CTelmioDoc& doc, int mode, CSmsMessage* msg, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_nMode(mode), m_pMsg(msg) {
    setWindowTitle("SMS");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* phoneRow = new QHBoxLayout;
    phoneRow->addWidget(new QLabel("Phone", this));
    m_pPhone = new QLineEdit(this);
    phoneRow->addWidget(m_pPhone, 1);
    m_pSelect = new QPushButton("...", this);
    m_pSelect->setFixedWidth(28);
    phoneRow->addWidget(m_pSelect);
    layout->addLayout(phoneRow);
    m_pText = new QPlainTextEdit(this);
    layout->addWidget(m_pText, 1);
    auto* counters = new QGridLayout;
    counters->addWidget(new QLabel("Num. of char.", this), 0, 0);
    m_pChars = new QLabel("0", this);
    counters->addWidget(m_pChars, 0, 1);
    counters->addWidget(new QLabel("Num. of SMS", this), 0, 2);
    m_pSmsCount = new QLabel("1", this);
    counters->addWidget(m_pSmsCount, 0, 3);
    m_pPush = new QCheckBox("PUSH SMS", this);
    counters->addWidget(m_pPush, 1, 0, 1, 4);
    layout->addLayout(counters);
    auto* buttons = new QGridLayout;
    m_pSend = new QPushButton("Send", this);
    m_pDraft = new QPushButton("Draft", this);
    m_pTemplate = new QPushButton("Template", this);
    m_pReply = new QPushButton("Reply", this);
    m_pForward = new QPushButton("Forward", this);
    m_pSendNow = new QPushButton("Send now", this);
    m_pOk = new QPushButton("OK", this);
    QPushButton* all[] = {m_pSend, m_pDraft, m_pTemplate, m_pReply, m_pForward, m_pSendNow};
    for (int i = 0; i < 6; ++i) {
        all[i]->setAutoDefault(false);
        buttons->addWidget(all[i], i / 3, i % 3);
    }
    buttons->addWidget(m_pOk, 2, 0);
    layout->addLayout(buttons);
    m_pOk->hide();
    m_pPush->hide();

    connect(m_pSend, &QPushButton::clicked, this, &CSmsEditorDlg::Send);
    connect(m_pSendNow, &QPushButton::clicked, this, &CSmsEditorDlg::SendNow);
    connect(m_pDraft, &QPushButton::clicked, this, &CSmsEditorDlg::Draft);
    connect(m_pTemplate, &QPushButton::clicked, this, &CSmsEditorDlg::Template);
    connect(m_pReply, &QPushButton::clicked, this, &CSmsEditorDlg::Reply);
    connect(m_pForward, &QPushButton::clicked, this, &CSmsEditorDlg::Forward);
    connect(m_pSelect, &QPushButton::clicked, this, &CSmsEditorDlg::SelectNumber);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pText, &QPlainTextEdit::textChanged, this, [this] {
        UpdateCounters();
        UpdateButtons();
    });
    connect(m_pPhone, &QLineEdit::textChanged, this, &CSmsEditorDlg::UpdateButtons);

    if (m_pMsg) {
        m_pPhone->setText(Q(m_pMsg->m_strNumber));
        QString text = Q(m_pMsg->m_strText);
        text.replace("\r\n", "\n");
        m_pText->setPlainText(text);
        m_pPush->setChecked(m_pMsg->m_nState == SMS_OUTBOX_FLASH || m_pMsg->m_bFlash);
    }
    ApplyMode();
    UpdateCounters();
    UpdateButtons();
    resize(240, 300);
}

void CSmsEditorDlg::ApplyMode() {
    switch (m_nMode) {
    case FOLDER_INBOX:
        for (QPushButton* w : {m_pSend, m_pSendNow, m_pDraft, m_pTemplate, m_pSelect})
            w->hide();
        m_pPhone->setReadOnly(true);
        m_pText->setReadOnly(true);
        break;
    case FOLDER_OUTBOX:
        m_pSend->hide();
        m_pSendNow->hide();
        m_pReply->hide();
        m_pDraft->setText("Save");
        m_pPush->show();
        m_pPush->setEnabled(false);
        break;
    case FOLDER_SENT: m_pReply->hide(); break;
    case FOLDER_DRAFT:
        m_pReply->hide();
        m_pDraft->setText("Save");
        m_pPush->show();
        break;
    case FOLDER_TEMPLATES:
        m_pReply->hide();
        m_pForward->hide();
        m_pPush->show();
        break;
    case FOLDER_USER: m_pPush->show(); break;
    case FOLDER_RECYCLE_BIN: break;
    default:  // a new message
        m_pReply->hide();
        m_pForward->hide();
        m_pPush->show();
        break;
    }
    if (m_doc.Flags().m_bSessionRunning) {
        for (QPushButton* w :
             {m_pReply, m_pForward, m_pSend, m_pSendNow, m_pDraft, m_pTemplate, m_pSelect})
            w->hide();
        m_pPhone->setReadOnly(true);
        m_pText->setReadOnly(true);
    }
}

QPushButton* CSmsEditorDlg::Button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void CSmsEditorDlg::UpdateCounters() {
    std::u16string text = U(m_pText->toPlainText());
    m_pChars->setText(QString::asprintf("%i", static_cast<int>(text.size())));
    m_pSmsCount->setText(QString::asprintf("%i", MessageCount(text)));
}

void CSmsEditorDlg::UpdateButtons() {
    bool ok = !m_pText->toPlainText().isEmpty() && IsValidNumber(U(m_pPhone->text()));
    m_pSend->setEnabled(ok);
    m_pSendNow->setEnabled(ok);
}

std::u16string CSmsEditorDlg::StoreText() const {
    QString text = m_pText->toPlainText();
    text.replace("\n", "\r\n");
    return U(text);
}

void CSmsEditorDlg::Send() {
    if (!m_pSend->isEnabled()) return;
    int queued = m_doc.QueueMessage(U(m_pPhone->text()), StoreText(), m_pPush->isChecked());
    if (queued == 0) {
        CMessageBoxes::Show(this, "Can not create SMS message");
        return;
    }
    // A draft that went out is no draft any more.
    if (m_nMode == FOLDER_DRAFT && m_pMsg) m_doc.Store().DeleteMessage(*m_pMsg);
    emit StoreChanged();
    accept();
}

void CSmsEditorDlg::SendNow() {
    if (!m_pSendNow->isEnabled()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::u16string result = m_doc.SendNow(U(m_pPhone->text()), StoreText(), m_pPush->isChecked());
    QApplication::restoreOverrideCursor();
    emit StoreChanged();
    CMessageBoxes::Show(this, Q(result));
    if (Q(result) == kSentOk) accept();
}

void CSmsEditorDlg::Draft() {
    if (m_pMsg) {
        m_pMsg->m_strNumber = U(m_pPhone->text());
        m_pMsg->m_strText = StoreText();
        m_pMsg->m_bFlash = m_pPush->isChecked();
        m_doc.Store().WriteMessage(*m_pMsg);
    } else {
        auto msg = std::make_unique<CSmsMessage>();
        msg->m_nState = SMS_DRAFT;
        msg->m_strNumber = U(m_pPhone->text());
        msg->m_strText = StoreText();
        msg->m_bFlash = m_pPush->isChecked();
        msg->m_nStorage = STORAGE_NONE;
        msg->m_time = ce::OleDate::FromSystemTime(ce::GetLocalTime());
        m_doc.Store().AddMessage(std::move(msg));
    }
    emit StoreChanged();
    accept();
}

void CSmsEditorDlg::Template() {
    if (m_nMode == FOLDER_TEMPLATES && m_pMsg) {
        Draft();
        return;
    }
    auto msg = std::make_unique<CSmsMessage>();
    msg->m_nState = SMS_TEMPLATE;
    msg->m_strText = StoreText();
    msg->m_nStorage = STORAGE_NONE;
    msg->m_time = ce::OleDate::FromSystemTime(ce::GetLocalTime());
    m_doc.Store().AddMessage(std::move(msg));
    emit StoreChanged();
    accept();
}

CSmsEditorDlg* CSmsEditorDlg::OpenChild(const QString& recipients, const QString& text) {
    auto* dlg = new CSmsEditorDlg(m_doc, EDIT_NEW, nullptr, parentWidget());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->SetRecipients(recipients);
    dlg->SetText(text);
    connect(dlg, &CSmsEditorDlg::StoreChanged, this, &CSmsEditorDlg::StoreChanged);
    m_pChild = dlg;
    dlg->show();
    return dlg;
}

void CSmsEditorDlg::Reply() {
    if (!m_pMsg) {
        CMessageBoxes::Show(this, kSelectFirst);
        return;
    }
    OpenChild(Q(m_pMsg->m_strNumber), {});
}

void CSmsEditorDlg::Forward() {
    if (!m_pMsg) {
        CMessageBoxes::Show(this, kSelectFirst);
        return;
    }
    QString text = Q(m_pMsg->m_strText);
    text.replace("\r\n", "\n");
    OpenChild({}, text);
}

void CSmsEditorDlg::SelectNumber() {
    CSelectNumberDlg dlg(m_doc, this);
    if (dlg.exec() == QDialog::Accepted && !dlg.Result().isEmpty()) m_pPhone->setText(dlg.Result());
}

}  // namespace kvo::ui
