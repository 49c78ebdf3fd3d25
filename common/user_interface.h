// How a program's core speaks to the user: the Qt window, the kvo command line and the tests
// each implement this, so the core never knows which one is listening.
#pragma once
#include <mutex>
#include <string>
#include <vector>

namespace kvo {

class IUserInterface {
public:
    virtual ~IUserInterface() = default;
    // A message box with an OK button; the caption is the program's name when empty.
    virtual void MessageBox(const std::u16string& text, const std::u16string& caption = {}) = 0;
    // Yes/No question; true for Yes.
    virtual bool Ask(const std::u16string& question) = 0;
    // A message box with OK and Cancel; true for OK.
    virtual bool OkCancel(const std::u16string& text, const std::u16string& caption = {}) {
        (void)caption;
        return Ask(text);
    }
    // The status line (the client's status bar, a progress line on a terminal).
    virtual void SetStatus(const std::u16string& text) = 0;
    // Progress of long work; total 0 means "unknown".
    virtual void SetProgress(int done, int total) = 0;
};

// Drops everything and answers every question with the given answer.
class CSilentUi : public IUserInterface {
public:
    explicit CSilentUi(bool answer = false) : m_bAnswer(answer) {}
    void MessageBox(const std::u16string&, const std::u16string& = {}) override {}
    bool Ask(const std::u16string&) override { return m_bAnswer; }
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}

private:
    bool m_bAnswer;
};

// Keeps what was shown, for tests; safe to call from several threads.
class CRecordingUi : public IUserInterface {
public:
    explicit CRecordingUi(bool answer = true) : m_bAnswer(answer) {}
    void MessageBox(const std::u16string& text, const std::u16string& = {}) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(text);
    }
    bool Ask(const std::u16string& question) override {
        std::lock_guard lock(m_mutex);
        m_questions.push_back(question);
        return m_bAnswer;
    }
    void SetStatus(const std::u16string& text) override {
        std::lock_guard lock(m_mutex);
        m_statuses.push_back(text);
    }
    void SetProgress(int done, int total) override {
        std::lock_guard lock(m_mutex);
        m_progress.emplace_back(done, total);
    }
    std::vector<std::u16string> Messages() const { std::lock_guard l(m_mutex); return m_messages; }
    std::vector<std::u16string> Questions() const { std::lock_guard l(m_mutex); return m_questions; }
    std::vector<std::u16string> Statuses() const { std::lock_guard l(m_mutex); return m_statuses; }
    std::vector<std::pair<int, int>> Progress() const { std::lock_guard l(m_mutex); return m_progress; }
    void SetAnswer(bool answer) { std::lock_guard l(m_mutex); m_bAnswer = answer; }

private:
    mutable std::mutex m_mutex;
    bool m_bAnswer;
    std::vector<std::u16string> m_messages, m_questions, m_statuses;
    std::vector<std::pair<int, int>> m_progress;
};

}  // namespace kvo
