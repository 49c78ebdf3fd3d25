// The message editor "SMS": one dialog for reading, writing, replying and forwarding; the
// mode (the folder a message was opened from, or 10 for a new one) decides its buttons.
#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "telmio/session/telmio_doc.h"

namespace kvo::ui {

inline constexpr int EDIT_NEW = 10;
inline const char kSelectFirst[] = "Failed. You have to select a message first.";
inline const char kSentOk[] = "SMS was sent successfully.";

class CSmsEditorDlg : public QDialog {
    Q_OBJECT
public:
    // `msg` is the message opened from a folder (modes 1 to 7), null for a new one.
    CSmsEditorDlg(CTelmioDoc& doc, int mode, CSmsMessage* msg, QWidget* parent = nullptr);
    int Mode() const { return m_nMode; }
    void SetRecipients(const QString& text) { m_pPhone->setText(text); }
    void SetText(const QString& text) { m_pText->setPlainText(text); }
    QLineEdit* Phone() const { return m_pPhone; }
    QPlainTextEdit* Text() const { return m_pText; }
    QLabel* CharCount() const { return m_pChars; }
    QLabel* SmsCount() const { return m_pSmsCount; }
    QPushButton* Button(const QString& text) const;  // by its label
    QPushButton* SendButton() const { return m_pSend; }
    QPushButton* SendNowButton() const { return m_pSendNow; }
    QPushButton* DraftButton() const { return m_pDraft; }
    QPushButton* TemplateButton() const { return m_pTemplate; }
    QPushButton* ReplyButton() const { return m_pReply; }
    QPushButton* ForwardButton() const { return m_pForward; }
    QPushButton* SelectButton() const { return m_pSelect; }
    QCheckBox* PushBox() const { return m_pPush; }
    // The editor Reply or Forward opened last.
    CSmsEditorDlg* Child() const { return m_pChild; }

public slots:
    void Send();
    void SendNow();
    void Draft();
    void Template();
    void Reply();
    void Forward();
    void SelectNumber();

signals:
    void StoreChanged();

private:
    void ApplyMode();
    void UpdateButtons();
    void UpdateCounters();
    // Text with the store's CR LF line breaks.
    std::u16string StoreText() const;
    CSmsEditorDlg* OpenChild(const QString& recipients, const QString& text);

    CTelmioDoc& m_doc;
    int m_nMode;
    CSmsMessage* m_pMsg;
    QLineEdit* m_pPhone;
    QPushButton* m_pSelect;
    QPlainTextEdit* m_pText;
    QLabel *m_pChars, *m_pSmsCount;
    QPushButton *m_pSend, *m_pDraft, *m_pTemplate, *m_pReply, *m_pForward, *m_pSendNow, *m_pOk;
    QCheckBox* m_pPush;
    QPointer<CSmsEditorDlg> m_pChild;
};

}  // namespace kvo::ui
