#include "connect/ui/traffic_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "connect/ui/boxes.h"

namespace kvo::connect::ui {

using kvo::traffic::MonitorSettings;

namespace {

const char kHint[] =
    "Hint: The current settings for your data tariff you should get from your operator's "
    "invoice or ask an operator representatives for your settings.";

QString Amount(float v) {
    return QString::number(static_cast<double>(v), 'f', 2);
}

void FillChoices(QComboBox* box, const std::vector<kvo::traffic::Choice>& choices, int32_t value) {
    for (const auto& c : choices) box->addItem(c.szLabel, c.nValue);
    const int i = box->findData(value);
    box->setCurrentIndex(i < 0 ? 0 : i);
}

}  // namespace

CTrafficSettingsDlg::CTrafficSettingsDlg(const MonitorSettings& s, const QString& currency,
                                         QWidget* parent)
    : QDialog(parent), m_settings(s) {
    setWindowTitle("Traffic settings");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* form = new QFormLayout;
    form->setVerticalSpacing(2);
    auto* validator = new QDoubleValidator(0, 1e6, 2, this);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    auto numberField = [&](float v) {
        auto* e = new QLineEdit(Amount(v));
        e->setValidator(validator);
        e->installEventFilter(this);
        return e;
    };
    m_pPayment = numberField(s.monthlyPayment);
    m_pInclusive = numberField(s.inclusiveMegabytes);
    m_pPrice = numberField(s.additionalPrice);
    m_pUnit = new QComboBox;
    FillChoices(m_pUnit, kvo::traffic::PriceUnitChoices(), s.priceUnitKb);
    m_pBlock = new QComboBox;
    FillChoices(m_pBlock, kvo::traffic::BlockSizeChoices(), s.blockSizeKb);
    m_pStartDay = new QComboBox;
    for (int d = 1; d <= 31; ++d) m_pStartDay->addItem(QString::number(d), d);
    m_pStartDay->setCurrentIndex(s.monthStartDay >= 1 && s.monthStartDay <= 31 ? s.monthStartDay - 1
                                                                               : 0);
    m_pHourly = new QCheckBox("Hourly rounding");
    m_pHourly->setChecked(s.hourlyRounding != 0);
    m_pMonitor = new QCheckBox("GPRS Monitor On");
    m_pMonitor->setChecked(s.monitorOn != 0);

    form->addRow(QString("Monthly payment(%1)").arg(currency), m_pPayment);
    form->addRow("Inclusive data (MB)", m_pInclusive);
    form->addRow(QString("Additional data price(%1)").arg(currency), m_pPrice);
    form->addRow("for", m_pUnit);
    form->addRow("Data block size", m_pBlock);
    form->addRow("Month start day", m_pStartDay);
    form->addRow(m_pHourly);
    form->addRow(m_pMonitor);
    layout->addLayout(form);
    auto* hint = new QLabel(kHint);
    hint->setWordWrap(true);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    layout->addWidget(hint);

    auto* row = new QHBoxLayout;
    auto* terminate = new QPushButton("Terminate");
    auto* setIcon = new QPushButton("Set Icon");
    row->addWidget(terminate);
    row->addWidget(setIcon);
    layout->addLayout(row);
    connect(terminate, &QPushButton::clicked, this, &CTrafficSettingsDlg::TerminateClicked);
    connect(setIcon, &QPushButton::clicked, this, &CTrafficSettingsDlg::SetIconClicked);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // The handheld's input panel: a keypad that types into the focused number field.
    m_pPanel = new QWidget;
    auto* grid = new QGridLayout(m_pPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(1);
    const char* keys = "1234567890.<";
    for (int i = 0; i < 12; ++i) {
        auto* key = new QPushButton(QString(QChar(keys[i])));
        key->setFocusPolicy(Qt::NoFocus);
        key->setFixedHeight(22);
        grid->addWidget(key, i / 6, i % 6);
        connect(key, &QPushButton::clicked, this, [this, c = keys[i]] {
            auto* field = qobject_cast<QLineEdit*>(focusWidget());
            if (!field)
                return;
            if (c == '<')
                field->backspace();
            else
                field->insert(QString(QChar(c)));
        });
    }
    m_pPanel->hide();
    layout->addWidget(m_pPanel);
    setFixedWidth(240);
}

bool CTrafficSettingsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        m_pPanel->show();
    else if (event->type() == QEvent::FocusOut)
        m_pPanel->hide();
    return QDialog::eventFilter(watched, event);
}

bool CTrafficSettingsDlg::InputPanelRaised() const {
    return m_pPanel->isVisibleTo(this);
}

MonitorSettings CTrafficSettingsDlg::Result() const {
    MonitorSettings s = m_settings;
    // A field left empty or unreadable keeps its value.
    auto amount = [](const QLineEdit* e, float& out) {
        bool ok = false;
        const double v = QLocale::c().toDouble(e->text(), &ok);
        if (ok && v >= 0)
            out = static_cast<float>(v);
    };
    amount(m_pPayment, s.monthlyPayment);
    amount(m_pInclusive, s.inclusiveMegabytes);
    amount(m_pPrice, s.additionalPrice);
    s.priceUnitKb = m_pUnit->currentData().toInt();
    s.blockSizeKb = m_pBlock->currentData().toInt();
    s.monthStartDay = m_pStartDay->currentData().toInt();
    s.hourlyRounding = m_pHourly->isChecked() ? 1 : 0;
    s.monitorOn = m_pMonitor->isChecked() ? 1 : 0;
    return s;
}

CIconPositionDlg::CIconPositionDlg(const MonitorSettings& s, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Icon position.");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Icon position."));
    m_pSlider = new QSlider(Qt::Horizontal);
    m_pSlider->setRange(0, 219);
    m_pSlider->setValue(kvo::traffic::IconSliderStart(s));
    layout->addWidget(m_pSlider);
    auto* text = new QLabel("Icon position will be set-up after pressing OK.");
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setFixedWidth(240);
}

}  // namespace kvo::connect::ui
