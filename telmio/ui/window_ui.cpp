#include "telmio/ui/window_ui.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace kvo::ui {

std::mutex CMessageBoxes::s_mutex;
bool CMessageBoxes::s_bTest = false;
bool CMessageBoxes::s_bAnswer = true;
std::deque<bool> CMessageBoxes::s_preset;
std::vector<QString> CMessageBoxes::s_shown;

namespace {
const char kCaption[] = "kvo SMS";
}

void CMessageBoxes::Show(QWidget* parent, const QString& text, const QString& caption) {
    {
        std::lock_guard lock(s_mutex);
        s_shown.push_back(text);
        if (s_bTest) return;
    }
    QMessageBox::information(parent, caption.isEmpty() ? QString(kCaption) : caption, text);
}

bool CMessageBoxes::Ask(QWidget* parent, const QString& text, bool bOkCancel) {
    {
        std::lock_guard lock(s_mutex);
        s_shown.push_back(text);
        if (!s_preset.empty()) {
            bool answer = s_preset.front();
            s_preset.pop_front();
            return answer;
        }
        if (s_bTest) return s_bAnswer;
    }
    if (bOkCancel)
        return QMessageBox::question(parent, kCaption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    return QMessageBox::question(parent, kCaption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void CMessageBoxes::SetTestMode(bool bOn, bool bAnswer) {
    std::lock_guard lock(s_mutex);
    s_bTest = bOn;
    s_bAnswer = bAnswer;
}

void CMessageBoxes::PresetAnswer(bool bAnswer) {
    std::lock_guard lock(s_mutex);
    s_preset.push_back(bAnswer);
}

std::vector<QString> CMessageBoxes::Shown() {
    std::lock_guard lock(s_mutex);
    return s_shown;
}

void CMessageBoxes::ClearShown() {
    std::lock_guard lock(s_mutex);
    s_shown.clear();
}

CWindowUi::CWindowUi(QObject* parent) : QObject(parent) {}

template <class F>
void CWindowUi::OnWindowThread(F f) {
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, f, Qt::BlockingQueuedConnection);
}

void CWindowUi::MessageBox(const std::u16string& text, const std::u16string& caption) {
    OnWindowThread([&] { CMessageBoxes::Show(m_pWindow, Q(text), Q(caption)); });
}

bool CWindowUi::Ask(const std::u16string& question) {
    bool answer = false;
    OnWindowThread([&] { answer = CMessageBoxes::Ask(m_pWindow, Q(question)); });
    return answer;
}

bool CWindowUi::OkCancel(const std::u16string& text, const std::u16string&) {
    bool answer = false;
    OnWindowThread([&] { answer = CMessageBoxes::Ask(m_pWindow, Q(text), true); });
    return answer;
}

// Signals cross threads queued on their own.
void CWindowUi::SetStatus(const std::u16string& text) { emit StatusChanged(Q(text)); }
void CWindowUi::SetProgress(int done, int total) { emit ProgressChanged(done, total); }

}  // namespace kvo::ui
