// What the document tells the user from its worker thread: kept under a lock until the
// window's 500 ms timer picks it up, so no widget is touched off the window's thread.
#pragma once
#include <mutex>
#include <string>

#include "common/user_interface.h"

namespace kvo::updater::ui {

class CStatusUi : public IUserInterface {
public:
    void MessageBox(const std::u16string& text, const std::u16string& = {}) override {
        SetStatus(text);
    }
    bool Ask(const std::u16string&) override { return false; }
    void SetStatus(const std::u16string& text) override {
        std::lock_guard lock(m_mutex);
        m_strStatus = text;
    }
    void SetProgress(int, int) override {}
    std::u16string Status() const {
        std::lock_guard lock(m_mutex);
        return m_strStatus;
    }

private:
    mutable std::mutex m_mutex;
    std::u16string m_strStatus;
};

}  // namespace kvo::updater::ui
