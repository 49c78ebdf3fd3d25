#include "terminal_ui.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/error.h"
#include "platform/serial.h"
#include "platform/text.h"

namespace kvo::cli {

CTerminalUi::CTerminalUi(std::ostream& err, bool answer)
    : m_err(err), m_bAnswer(answer), m_bOnTerminal(&err == &std::cerr && isatty(2)) {}

void CTerminalUi::MessageBox(const std::u16string& text, const std::u16string& caption) {
    std::lock_guard lock(m_mutex);
    if (!caption.empty())
        m_err << ce::ToUtf8(caption) << ": ";
    m_err << ce::ToUtf8(text) << "\n";
}

bool CTerminalUi::Ask(const std::u16string& question) {
    std::lock_guard lock(m_mutex);
    m_err << ce::ToUtf8(question) << " -> " << (m_bAnswer ? "yes" : "no") << "\n";
    return m_bAnswer;
}

void CTerminalUi::SetStatus(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    if (text.empty() || text == m_strLastStatus)
        return;
    m_strLastStatus = text;
    m_err << ce::ToUtf8(text) << "\n";
}

void CTerminalUi::SetProgress(int done, int total) {
    std::lock_guard lock(m_mutex);
    if (total <= 0) {
        if (m_bOnTerminal && m_nLastPercent >= 0)
            m_err << "\n";
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

std::string PortProblemText(const std::u16string& port, uint32_t error) {
    std::optional<std::filesystem::path> device = ce::ResolvePortName(port);
    std::string text = "cannot open port " + ce::ToUtf8(port);
    if (!device)
        return text + " it is not in the port map (HKLM\\Drivers\\kvo\\PortMap) and no Linux path";
    if (device->string() != ce::ToUtf8(port))
        text += " (Linux device " + device->string() + ")";
    text += ": ";
    switch (error) {
        case ce::ERROR_FILE_NOT_FOUND:
            return text + "no such device (is the phone connected?)";
        case ce::ERROR_PATH_NOT_FOUND:
            return text + "its folder does not exist";
        case ce::ERROR_ACCESS_DENIED:
            return text + "permission denied (is your user in the dialout group?)";
        case ce::ERROR_SHARING_VIOLATION:
            return text + "in use by another program";
        case ce::ERROR_INVALID_PARAMETER:
            return text + "not a serial device";
        default:
            return text + "system error " + std::to_string(error);
    }
}

std::string LockHolderText(const std::filesystem::path& lockFile) {
    struct stat st {};
    if (stat(lockFile.c_str(), &st) != 0)
        return {};
    // Lines as "1: FLOCK  ADVISORY  WRITE 1234 08:01:56789 0 EOF".
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream in(line);
        std::string n, kind, advisory, mode, id;
        long pid = 0;
        if (!(in >> n >> kind))
            continue;
        if (kind == "->")
            in >> kind;  // a waiter
        if (!(in >> advisory >> mode >> pid >> id))
            continue;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        if (std::sscanf(id.c_str(), "%x:%x:%llu", &maj, &min, &ino) != 3)
            continue;
        if (ino == st.st_ino && maj == major(st.st_dev) && min == minor(st.st_dev) &&
            pid != getpid())
            return "another session holds the lock " + lockFile.string() + " (process " +
                   std::to_string(pid) + ")";
    }
    return {};
}

}  // namespace kvo::cli
