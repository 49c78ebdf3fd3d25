#include "dialer/ui/dialer_window.h"

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>

#include "dialer/dialer_strings.h"
#include "dialer/keypad_layout.h"
#include "dialer/ui/contacts_dlg.h"
#include "dialer/ui/options_dlg.h"

namespace kvo::dialer {

CKeypadView::CKeypadView(CDialerDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setFixedSize(kClientWidth, kClientHeight);
    ReloadTheme();
}

void CKeypadView::ReloadTheme() {
    if (m_doc.HasTheme())
        m_images.Load(m_doc.Theme(), kThemeWorkFolder);
    else
        m_images = CThemeImages();
    update();
}

void CKeypadView::Press(const std::string& key) {
    if (key == "keycall") {
        emit CallRequested();
    } else if (key == "keycontact") {
        emit ContactsRequested();
    } else {
        m_doc.PressKey(std::u16string(key.begin(), key.end()));
    }
    update();
}

void CKeypadView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    static const CThemeConfig kNoTheme;
    DrawKeypad(p, m_doc.HasTheme() ? m_doc.Theme() : kNoTheme, m_images, m_doc.Number(),
               m_strPressed);
}

void CKeypadView::mousePressEvent(QMouseEvent* e) {
    const char* key = KeyAt(e->position().toPoint().x(), e->position().toPoint().y());
    m_strPressed = key ? key : "";
    update();
}

void CKeypadView::mouseReleaseEvent(QMouseEvent* e) {
    const char* key = KeyAt(e->position().toPoint().x(), e->position().toPoint().y());
    std::string pressed = std::move(m_strPressed);
    m_strPressed.clear();
    update();
    // A key counts where the finger both went down and came up.
    if (key && pressed == key)
        Press(pressed);
}

CDialerWindow::CDialerWindow(CDialerDoc& doc, CDialerUi& ui, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_ui(ui), m_pKeypad(new CKeypadView(doc, this)) {
    setWindowTitle(Q(MessageText(kMsgTitle)));
    setCentralWidget(m_pKeypad);
    QMenu* menu = menuBar()->addMenu("Menu");
    menu->addAction("Options", this, &CDialerWindow::OnOptions);
    menu->addAction("Contacts", this, &CDialerWindow::OnContacts);
    menu->addSeparator();
    menu->addAction("Exit", this, &QWidget::close);
    connect(m_pKeypad, &CKeypadView::CallRequested, this, &CDialerWindow::OnCall);
    connect(m_pKeypad, &CKeypadView::ContactsRequested, this, &CDialerWindow::OnContacts);
    m_doc.m_onBusy = [](bool bBusy) {
        if (bBusy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    setFixedWidth(kClientWidth);
}

void CDialerWindow::OnOptions() {
    COptionsDlg dlg(m_doc, m_ui, this);
    if (dlg.exec() == QDialog::Accepted)
        m_pKeypad->ReloadTheme();
}

void CDialerWindow::OnContacts() {
    CContactsDlg dlg(m_ui, this);
    if (dlg.exec() == QDialog::Accepted && !dlg.ChosenNumber().isEmpty()) {
        m_doc.Number() = U(dlg.ChosenNumber());
        m_pKeypad->update();
    }
}

void CDialerWindow::OnCall() {
    m_doc.Dial();
}

}  // namespace kvo::dialer
