// The dialer's window: the themed keypad under a "Menu" menu.
#pragma once
#include <QMainWindow>
#include <QWidget>
#include <string>

#include "dialer/dialer_doc.h"
#include "dialer/draw/keypad_draw.h"
#include "dialer/ui/dialer_ui.h"

namespace kvo::dialer {

class CKeypadView : public QWidget {
    Q_OBJECT
public:
    CKeypadView(CDialerDoc& doc, QWidget* parent = nullptr);
    // Reads the theme's pictures again (after a theme change).
    void ReloadTheme();
    // What a tap on a key does, for the mouse and for tests.
    void Press(const std::string& key);
    // Shows a key held down (pictures of the window).
    void SetPressed(const std::string& key) {
        m_strPressed = key;
        update();
    }

signals:
    void CallRequested();
    void ContactsRequested();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    CDialerDoc& m_doc;
    CThemeImages m_images;
    std::string m_strPressed;
};

class CDialerWindow : public QMainWindow {
    Q_OBJECT
public:
    CDialerWindow(CDialerDoc& doc, CDialerUi& ui, QWidget* parent = nullptr);
    CKeypadView* Keypad() const { return m_pKeypad; }
    void OnOptions();
    void OnContacts();
    void OnCall();

private:
    CDialerDoc& m_doc;
    CDialerUi& m_ui;
    CKeypadView* m_pKeypad;
};

}  // namespace kvo::dialer
