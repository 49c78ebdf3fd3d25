#include "terminal_ui.h"

#include <unistd.h>

#include <iostream>
#include <ostream>

#include "platform/text.h"

namespace kvo::cli {

CTerminalUi::CTerminalUi(std::ostream& err, bool answer)
    : m_err(err), m_bAnswer(answer), m_bOnTerminal(&err == &std::cerr && isatty(2)) {}

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
        if (m_bOnTerminal && m_nLastPercent >= 0) m_err << "\n";
        m_nLastPercent = -1;
        return;
    }
    // On a terminal one line counts up; in a log only the end of each range shows.
    if (m_bOnTerminal) {
        m_err << "\r  " << done << "/" << total << std::flush;
        m_nLastPercent = done * 100 / total;
    } else if (done == total) {
        m_err << "  " << done << "/" << total << "\n";
    }
}

}  // namespace kvo::cli
