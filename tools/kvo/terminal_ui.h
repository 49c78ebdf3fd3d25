// The client's user interface on a terminal: messages and status on stderr, questions
// answered by a fixed choice (scripts cannot answer).
#pragma once
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <mutex>
#include <string>

#include "common/user_interface.h"

namespace kvo::cli {

class CTerminalUi : public IUserInterface {
public:
    explicit CTerminalUi(std::ostream& err, bool answer = false);
    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override;
    bool Ask(const std::u16string& question) override;
    void SetStatus(const std::u16string& text) override;
    void SetProgress(int done, int total) override;

private:
    std::mutex m_mutex;
    std::ostream& m_err;
    bool m_bAnswer;
    std::u16string m_strLastStatus;
    int m_nLastPercent = -1;
    bool m_bOnTerminal = false;
};

// What a terminal user needs beyond the handheld's text when a port cannot be opened:
// "cannot open port COM3: (Linux device /dev/ttyUSB0): in use by another program". `error` is the
// code the open left in GetLastError.
std::string PortProblemText(const std::u16string& port, uint32_t error);
// "another session holds the lock /x/kvo.lock (process 1234)", or empty when no other
// process holds it.
std::string LockHolderText(const std::filesystem::path& lockFile);

}  // namespace kvo::cli
