// The client's user interface on a terminal: messages and status on stderr, questions
// answered by a fixed choice (scripts cannot answer).
#pragma once
#include <iosfwd>
#include <mutex>

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

}  // namespace kvo::cli
