#include "terminal_ui.h"

#include <ostream>

#include "platform/text.h"

namespace kvo::cli {

void CTerminalUi::MessageBox(const std::u16string& text, const std::u16string& caption) {
    std::lock_guard lock(m_mutex);
    if (!caption.empty()) m_err << ce::ToUtf8(caption) << ": ";
    m_err << ce::ToUtf8(text) << "\n";
}

bool CTerminalUi::Ask(const std::u16string& question) {
    std::lock_guard lock(m_mutex);
    m_err << ce::ToUtf8(question) << " -> " << (m_bAnswer ? "yes" : "no") << "\n";
    return m_bAnswer;
}

void CTerminalUi::SetStatus(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    if (text.empty() || text == m_strLastStatus) return;
    m_strLastStatus = text;
    m_err << ce::ToUtf8(text) << "\n";
}

void CTerminalUi::SetProgress(int done, int total) {
    std::lock_guard lock(m_mutex);
    if (total <= 0) {
        m_nLastPercent = -1;
        return;
    }
    // A line per tenth keeps a log readable; the last slot always shows.
    int percent = done * 100 / total;
    if (done != total && m_nLastPercent >= 0 && percent / 10 == m_nLastPercent / 10) return;
    m_nLastPercent = percent;
    m_err << "  " << done << "/" << total << "\n";
}

}  // namespace kvo::cli
