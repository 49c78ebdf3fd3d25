#include "updater/ui/views.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "updater/core/updater_texts.h"
#include "updater/ui/texts.h"

namespace kvo::updater::ui {
namespace {

QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QString Kb(int64_t bytes) {
    return QString("%1 kb").arg(bytes / 1024);
}

}  // namespace

CUpdaterView::CUpdaterView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(kAppTitle, this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addWidget(new QLabel(kVersionText, this));
    layout->addWidget(WrappedLabel(kPressText, this));
    layout->addSpacing(6);
    auto* info = new QLabel(kUpdateInfoText, this);
    info->setFont(bold);
    layout->addWidget(info);
    layout->addWidget(new QLabel(kProductText, this));
    m_pProduct = new QLabel(this);
    m_pProduct->setWordWrap(true);
    m_pProduct->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_pProduct);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    m_pCheck = new QPushButton(kCheckText, this);
    m_pQuit = new QPushButton(kQuitText, this);
    buttons->addWidget(m_pCheck);
    buttons->addWidget(m_pQuit);
    layout->addLayout(buttons);
}

CResultView::CResultView(const QString& second, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    m_pText = WrappedLabel({}, this);
    m_pText->setAlignment(Qt::AlignCenter);
    layout->addStretch();
    layout->addWidget(m_pText);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    m_pQuit = new QPushButton(kQuitText, this);
    buttons->addWidget(m_pQuit);
    if (!second.isEmpty()) {
        m_pSecond = new QPushButton(second, this);
        buttons->addWidget(m_pSecond);
    }
    layout->addLayout(buttons);
}

CErrorView::CErrorView(QWidget* parent) : CResultView(kRetryText, parent) {
    SetText(Q(LoadText(IDS_NO_INTERNET)));
}
CAppRunView::CAppRunView(QWidget* parent) : CResultView(kRetryText, parent) {
    SetText(Q(std::u16string(kAppRunningText)));
}
CNoUpdatesView::CNoUpdatesView(QWidget* parent) : CResultView({}, parent) {
    SetText(Q(std::u16string(kNoUpdatesText)));
}
CDoneView::CDoneView(QWidget* parent) : CResultView(kResetText, parent) {
    SetText(Q(LoadText(IDS_UPDATED)));
}

CFilesView::CFilesView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    m_pList = new QTreeWidget(this);
    m_pList->setColumnCount(2);
    m_pList->setHeaderLabels({Q(LoadText(IDS_NAME_COLUMN)), Q(LoadText(IDS_SIZE_COLUMN))});
    m_pList->setRootIsDecorated(false);
    m_pList->header()->setStretchLastSection(false);
    m_pList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layout->addWidget(m_pList);
    auto* total = new QHBoxLayout;
    total->addWidget(new QLabel(Q(std::u16string(kTotalSizeText)), this));
    m_pTotal = new QLabel(this);
    total->addWidget(m_pTotal);
    total->addStretch();
    layout->addLayout(total);
    auto* buttons = new QHBoxLayout;
    m_pUpdate = new QPushButton(kUpdateText, this);
    m_pCancel = new QPushButton(kCancelText, this);
    buttons->addWidget(m_pUpdate);
    buttons->addWidget(m_pCancel);
    layout->addLayout(buttons);
    connect(m_pList, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row, int column) {
        if (m_bFilling || column != 0)
            return;
        emit GroupToggled(row->data(0, Qt::UserRole).toInt(), row->checkState(0) == Qt::Checked);
    });
}

void CFilesView::Fill(const CItemList& list, int64_t totalBytes) {
    m_bFilling = true;
    m_pList->clear();
    bool anyChecked = false;
    for (size_t g = 0; g < list.groups.size(); ++g) {
        bool hasItems = false;
        for (const CDownloadItem& item : list.items) hasItems = hasItems || item.nGroup == int(g);
        if (!hasItems)
            continue;
        const CDisplayGroup& group = list.groups[g];
        auto* row = new QTreeWidgetItem(m_pList, {Q(group.strLabel), Kb(group.nTotal)});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, group.bChecked ? Qt::Checked : Qt::Unchecked);
        row->setData(0, Qt::UserRole, int(g));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        anyChecked = anyChecked || group.bChecked;
    }
    m_pTotal->setText(Kb(totalBytes));
    m_pUpdate->setEnabled(anyChecked);
    m_bFilling = false;
}

}  // namespace kvo::updater::ui
