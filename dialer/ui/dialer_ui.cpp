#include "dialer/ui/dialer_ui.h"

#include <QMessageBox>
#include <mutex>

#include "dialer/dialer_strings.h"

namespace kvo::dialer {
namespace {

std::mutex g_mutex;
bool g_bTest = false;
std::vector<QString> g_shown;

bool Recorded(const QString& text) {
    std::lock_guard lock(g_mutex);
    if (!g_bTest)
        return false;
    g_shown.push_back(text);
    return true;
}

}  // namespace

void CDialerUi::MessageBox(const std::u16string& text, const std::u16string& caption) {
    if (Recorded(Q(text)))
        return;
    QMessageBox::warning(m_pParent, Q(caption.empty() ? MessageText(kMsgTitle) : caption), Q(text));
}

bool CDialerUi::Ask(const std::u16string& question) {
    if (Recorded(Q(question)))
        return true;
    return QMessageBox::question(m_pParent, Q(MessageText(kMsgTitle)), Q(question)) ==
           QMessageBox::Yes;
}

void CDialerUi::SetTestMode(bool bOn) {
    std::lock_guard lock(g_mutex);
    g_bTest = bOn;
}

std::vector<QString> CDialerUi::Shown() {
    std::lock_guard lock(g_mutex);
    return g_shown;
}

void CDialerUi::ClearShown() {
    std::lock_guard lock(g_mutex);
    g_shown.clear();
}

}  // namespace kvo::dialer
