#include "updater/ui/work_dlg.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "updater/core/updater_texts.h"
#include "updater/ui/texts.h"

namespace kvo::updater::ui {
namespace {
QString Q(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
}  // namespace

CWorkDlg::CWorkDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    m_pLine1 = new QLabel(this);
    m_pLine1->setWordWrap(true);
    m_pLine2 = new QLabel(this);
    m_pLine2->setWordWrap(true);
    layout->addWidget(m_pLine1);
    layout->addWidget(m_pLine2);
    auto* grid = new QGridLayout;
    m_pUpdatingLabel = new QLabel(Q(kUpdatingText), this);
    m_pUpdating = new QLabel(this);
    m_pUpdating->setWordWrap(true);
    // The tag has no blanks to wrap at: it gets a line of its own.
    grid->addWidget(m_pUpdatingLabel, 0, 0);
    grid->addWidget(m_pUpdating, 1, 0);
    layout->addLayout(grid);
    m_pBar = new QProgressBar(this);
    m_pBar->setRange(0, 100);
    layout->addWidget(m_pBar);
    layout->addStretch();
    m_pCancel = new QPushButton(kCancelText, this);
    layout->addWidget(m_pCancel, 0, Qt::AlignHCenter);
    connect(m_pCancel, &QPushButton::clicked, this, [this] {
        m_pCancel->setEnabled(false);
        emit CancelRequested();
    });
    setFixedWidth(220);
    SetMode(WAIT);
}

void CWorkDlg::SetMode(Mode mode) {
    m_mode = mode;
    m_pCancel->setEnabled(true);
    m_pCancel->setVisible(mode != INSTALL);
    m_pBar->setVisible(mode == PROGRESS);
    m_pUpdatingLabel->setVisible(mode == PROGRESS);
    m_pUpdating->setVisible(mode == PROGRESS);
    m_pBar->setValue(0);
    switch (mode) {
        case WAIT:
            m_pLine1->setText(kPreparingText);
            m_pLine2->setText(kPleaseWaitText);
            break;
        case PROGRESS:
            m_pLine1->setText(Q(kDownloadText));
            m_pLine2->clear();
            break;
        case INSTALL:
            m_pLine1->setText(Q(kUpgradingText));
            m_pLine2->clear();
            break;
    }
    // Each mode has its own rows: no empty space left from the one before.
    adjustSize();
}

void CWorkDlg::SetStatus(const QString& text) {
    if (text.isEmpty())
        return;
    if (m_mode == PROGRESS) {
        // "Download: LABEL": the group being fetched goes on the second line.
        QString prefix = Q(kDownloadText);
        m_pLine2->setText(text.startsWith(prefix) ? text.mid(prefix.size()).trimmed() : text);
    } else if (m_mode == WAIT) {
        m_pLine1->setText(text);
    }
}

void CWorkDlg::reject() {
    if (m_mode != INSTALL && m_pCancel->isEnabled())
        m_pCancel->click();
}

}  // namespace kvo::updater::ui
