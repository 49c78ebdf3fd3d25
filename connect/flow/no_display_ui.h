// The user interface of a run without a display: nobody can answer, so every question gets
// the answer that ends the waiting (No; OK to the telephony retry) and the notification log
// says which one it got.
#pragma once
#include "common/user_interface.h"

namespace kvo::connect {

class CNoDisplayUi : public IUserInterface {
public:
    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override;
    bool Ask(const std::u16string& question) override;
    bool OkCancel(const std::u16string& text, const std::u16string& caption = {}) override;
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}
};

}  // namespace kvo::connect
