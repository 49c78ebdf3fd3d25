// The core's view of the window: message boxes, questions, status line and progress. Calls
// may come from the synchronisation threads; they are carried to the window's thread.
#pragma once
#include <QObject>
#include <QString>
#include <deque>
#include <mutex>
#include <optional>

#include "common/user_interface.h"

class QWidget;

namespace kvo::ui {

inline QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::u16string U(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<size_t>(s.size()));
}

// Every message box of the window goes through here. Tests switch the boxes off: texts are
// recorded and questions get the preset answer, so no modal loop waits for a person.
class CMessageBoxes {
public:
    static void Show(QWidget* parent, const QString& text, const QString& caption = {});
    static bool Ask(QWidget* parent, const QString& text, bool bOkCancel = false);
    static void SetTestMode(bool bOn, bool bAnswer = true);
    static void PresetAnswer(bool bAnswer);
    static std::vector<QString> Shown();  // texts and questions, in order
    static void ClearShown();

private:
    static std::mutex s_mutex;
    static bool s_bTest, s_bAnswer;
    static std::deque<bool> s_preset;
    static std::vector<QString> s_shown;
};

class CWindowUi : public QObject, public IUserInterface {
    Q_OBJECT
public:
    explicit CWindowUi(QObject* parent = nullptr);
    void SetWindow(QWidget* window) { m_pWindow = window; }

    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override;
    bool Ask(const std::u16string& question) override;
    bool OkCancel(const std::u16string& text, const std::u16string& caption = {}) override;
    void SetStatus(const std::u16string& text) override;
    void SetProgress(int done, int total) override;

signals:
    void StatusChanged(const QString& text);
    void ProgressChanged(int done, int total);

private:
    // Runs `f` on the window's thread and waits for it.
    template <class F>
    void OnWindowThread(F f);
    QWidget* m_pWindow = nullptr;
};

}  // namespace kvo::ui

namespace kvo::ui {

// For dialogs that hand the core an IUserInterface on the window's thread.
class CBoxUi : public IUserInterface {
public:
    explicit CBoxUi(QWidget* parent) : m_pParent(parent) {}
    void MessageBox(const std::u16string& text, const std::u16string& caption = {}) override {
        CMessageBoxes::Show(m_pParent, Q(text), Q(caption));
    }
    bool Ask(const std::u16string& question) override {
        return CMessageBoxes::Ask(m_pParent, Q(question));
    }
    bool OkCancel(const std::u16string& text, const std::u16string& = {}) override {
        return CMessageBoxes::Ask(m_pParent, Q(text), true);
    }
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}

private:
    QWidget* m_pParent;
};

}  // namespace kvo::ui
