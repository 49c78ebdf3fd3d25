#include "connect/ui/boxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace kvo::connect::ui {

bool CBoxes::s_bTest = false;
std::deque<int> CBoxes::s_preset;
std::vector<QString> CBoxes::s_shown;

namespace {
const char kCaption[] = "kvonet pro";
}

bool CBoxes::TakePreset(int& answer) {
    if (!s_preset.empty()) {
        answer = s_preset.front();
        s_preset.pop_front();
        return true;
    }
    answer = 0;
    return s_bTest;
}

void CBoxes::Show(QWidget* parent, const QString& text, const QString& caption) {
    s_shown.push_back(text);
    if (s_bTest)
        return;
    QMessageBox::information(parent, caption.isEmpty() ? QString(kCaption) : caption, text);
}

bool CBoxes::Ask(QWidget* parent, const QString& text, bool bOkCancel) {
    s_shown.push_back(text);
    int answer = 0;
    if (TakePreset(answer))
        return answer != 0;
    auto yes = bOkCancel ? QMessageBox::Ok : QMessageBox::Yes;
    auto no = bOkCancel ? QMessageBox::Cancel : QMessageBox::No;
    return QMessageBox::question(parent, kCaption, text, yes | no) == yes;
}

int CBoxes::Choose(QWidget* parent, const QString& text, const QStringList& buttons) {
    s_shown.push_back(text);
    int answer = 0;
    if (TakePreset(answer))
        return answer;
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::NoButton, parent);
    std::vector<QAbstractButton*> made;
    for (const QString& b : buttons) made.push_back(box.addButton(b, QMessageBox::AcceptRole));
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i])
            return static_cast<int>(i);
    return -1;
}

void CBoxes::SetTestMode(bool bOn) {
    s_bTest = bOn;
    s_preset.clear();
}

void CBoxes::Preset(int answer) {
    s_preset.push_back(answer);
}

std::vector<QString> CBoxes::Shown() {
    return s_shown;
}

void CBoxes::ClearShown() {
    s_shown.clear();
}

}  // namespace kvo::connect::ui
