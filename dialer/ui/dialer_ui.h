// The dialer's message boxes. Tests switch them off: texts are recorded instead of shown, so
// no modal loop waits for a person.
#pragma once
#include <QString>
#include <vector>

#include "common/user_interface.h"

class QWidget;

namespace kvo::dialer {

inline QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::u16string U(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

class CDialerUi : public IUserInterface {
public:
    explicit CDialerUi(QWidget* parent = nullptr) : m_pParent(parent) {}
    void SetParent(QWidget* parent) { m_pParent = parent; }
    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override;
    bool Ask(const std::u16string& question) override;
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}

    static void SetTestMode(bool bOn);
    static std::vector<QString> Shown();
    static void ClearShown();

private:
    QWidget* m_pParent;
};

}  // namespace kvo::dialer
