// Every message box and question of connect's window goes through here. Tests switch the
// boxes off: texts are recorded and questions take preset answers, so no modal loop waits.
#pragma once
#include <QString>
#include <QStringList>
#include <deque>
#include <string>
#include <vector>

#include "common/user_interface.h"

class QWidget;

namespace kvo::connect::ui {

inline QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::u16string U(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<size_t>(s.size()));
}

class CBoxes {
public:
    static void Show(QWidget* parent, const QString& text, const QString& caption = {});
    // Yes/No (or OK/Cancel); true for the first.
    static bool Ask(QWidget* parent, const QString& text, bool bOkCancel = false);
    // A question with buttons of its own; the index of the one pressed, -1 when closed.
    static int Choose(QWidget* parent, const QString& text, const QStringList& buttons);

    static void SetTestMode(bool bOn);
    // Answers for the next questions, in order: for Ask non-zero is Yes/OK, for Choose the
    // button's index. Without a preset, test mode answers No (Choose: the first button).
    static void Preset(int answer);
    static std::vector<QString> Shown();
    static void ClearShown();
    // In test mode: the next preset (0 without one), true; otherwise false.
    static bool TakePreset(int& answer);

private:
    static bool s_bTest;
    static std::deque<int> s_preset;
    static std::vector<QString> s_shown;
};

// The core's view of the window: boxes on the window's thread (the flow runs there).
class CBoxUi : public IUserInterface {
public:
    explicit CBoxUi(QWidget* parent = nullptr) : m_pParent(parent) {}
    void SetParent(QWidget* parent) { m_pParent = parent; }
    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override {
        CBoxes::Show(m_pParent, Q(text), Q(caption));
    }
    bool Ask(const std::u16string& question) override {
        return CBoxes::Ask(m_pParent, Q(question));
    }
    bool OkCancel(const std::u16string& text, const std::u16string& = {}) override {
        return CBoxes::Ask(m_pParent, Q(text), true);
    }
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}

private:
    QWidget* m_pParent;
};

}  // namespace kvo::connect::ui
