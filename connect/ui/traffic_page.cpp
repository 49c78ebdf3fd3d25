#include "connect/ui/traffic_page.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>

#include "connect/traffic/currency_symbol.h"
#include "connect/traffic/draw/charts.h"
#include "connect/traffic/statistics.h"
#include "connect/ui/boxes.h"
#include "connect/ui/traffic_dialogs.h"
#include "platform/file.h"

namespace kvo::connect::ui {

using namespace kvo::traffic;
using kvo::linkwatch::CMonitorFiles;

const char CTrafficPage::kFirstRunHint[] =
    "You must set your account settings and press afterwards OK to activate the DODA Zezevev.";

namespace {

constexpr int kIconX[3] = {4, 30, 58};
constexpr int kIconY = 2;
constexpr int kIcon = 20;

int DaysIn(int month, int year) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && year % 4 == 0 ? 29 : days[month - 1];
}

// The icons: day, month and year views; settings, costs and traffic modes.
void DrawIcon(QPainter& p, const QRect& r, bool bSecond, int icon) {
    p.setPen(QColor(40, 40, 90));
    QFont f = p.font();
    if (!bSecond) {
        // Calendar leaves: a day, a month's 31 days, a year's 12 months.
        const QRect leaf = r.adjusted(2, 2, -3, -2);
        p.fillRect(leaf, Qt::white);
        p.fillRect(leaf.left(), leaf.top(), leaf.width() + 1, 4, QColor(30, 100, 200));
        p.drawRect(leaf);
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.drawText(leaf.adjusted(0, 4, 0, 0), Qt::AlignCenter,
                   icon == 0   ? "1"
                   : icon == 1 ? "31"
                               : "12");
        return;
    }
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    if (icon == 0) {
        // A form with lines: the settings.
        p.drawRect(r.adjusted(3, 2, -4, -3));
        for (int y = 6; y <= 14; y += 4)
            p.drawLine(r.left() + 6, r.top() + y, r.right() - 7, r.top() + y);
    } else if (icon == 1) {
        p.setPen(QColor(0, 120, 0));
        p.drawText(r, Qt::AlignCenter, "$");
    } else {
        p.setPen(QColor(30, 100, 200));
        p.drawText(r, Qt::AlignCenter, QString::fromUtf8("\u21c5"));
    }
}

}  // namespace

CIconStrip::CIconStrip(bool bSecond, QWidget* parent) : QWidget(parent), m_bSecond(bSecond) {
    setFixedSize(82, 24);
    if (bSecond)
        m_nFramed = 2;  // traffic mode
}

int CIconStrip::IconAt(int x) const {
    if (x >= 4 && x <= 23)
        return 0;
    if (x >= 30 && x <= (m_bSecond ? 51 : 49))
        return 1;
    if (x >= 58 && x <= 77)
        return 2;
    return -1;
}

void CIconStrip::SetFramed(int icon) {
    m_nFramed = icon;
    update();
}

void CIconStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(236, 236, 236));
    for (int i = 0; i < 3; ++i) {
        const QRect r(kIconX[i], kIconY, kIcon, kIcon);
        p.fillRect(r, Qt::white);
        DrawIcon(p, r, m_bSecond, i);
        if (i == m_nFramed) {
            p.setPen(QPen(Qt::black, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(-1, -1, 1, 1));
        }
    }
}

void CIconStrip::mousePressEvent(QMouseEvent* e) {
    const int icon = IconAt(static_cast<int>(e->position().x()));
    if (icon >= 0)
        emit Tapped(icon);
}

CTrafficPage::CTrafficPage(const std::u16string& appDir, bool bPreview, QWidget* parent)
    : QWidget(parent),
      m_files(appDir),
      m_control(CMonitorFiles(appDir)),
      m_settings(PageDefaults()),
      m_bPreview(bPreview),
      m_chart(NewChartImage()) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pChart = new QLabel;
    m_pChart->setFixedSize(kChartWidth, kChartHeight);
    layout->addWidget(m_pChart);
    m_pMonitorOn = new QCheckBox("GPRS Monitor On");
    layout->addWidget(m_pMonitorOn, 0, Qt::AlignHCenter);
    auto* strips = new QHBoxLayout;
    strips->setContentsMargins(0, 0, 0, 0);
    strips->setSpacing(0);
    m_pViewStrip = new CIconStrip(false);
    m_pModeStrip = new CIconStrip(true);
    m_pDate = new QDateEdit;
    m_pDate->setDisplayFormat("dd.MM.yy");
    m_pDate->setCalendarPopup(true);
    m_pDate->setFixedWidth(240 - 2 * 82);
    strips->addWidget(m_pViewStrip);
    strips->addWidget(m_pModeStrip);
    strips->addWidget(m_pDate);
    layout->addLayout(strips);
    layout->addStretch();

    connect(m_pViewStrip, &CIconStrip::Tapped, this, &CTrafficPage::TapViewStrip);
    connect(m_pModeStrip, &CIconStrip::Tapped, this, &CTrafficPage::TapModeStrip);
    connect(m_pDate, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        m_date = d;
        Redraw();
    });
    connect(m_pMonitorOn, &QCheckBox::toggled, this, [this](bool on) {
        if (!on || m_settings.monitorOn)
            return;
        MonitorSettings s = m_settings;
        s.monitorOn = 1;
        SaveSettings(s);
    });
    m_timer1.setInterval(5000);
    m_timer2.setInterval(2000);
    connect(&m_timer1, &QTimer::timeout, this, &CTrafficPage::OnTimer1);
    connect(&m_timer2, &QTimer::timeout, this, &CTrafficPage::OnTimer2);
    m_date = QDate::currentDate();
    m_pDate->setDate(m_date);
    m_pMonitorOn->hide();
}

void CTrafficPage::Open() {
    if (!m_bPreview)
        ce::DeleteFile(u"\\monitor.log");
    m_settings = LoadPageSettings(m_files);
    m_strCurrency = CurrencySymbol();
    {
        QSignalBlocker block(m_pDate);
        m_date = QDate::currentDate();
        m_pDate->setDate(m_date);
    }
    if (!m_bPreview)
        m_files.SetMarker(kvo::linkwatch::kMonitorStarted);
    m_bOpen = true;
    ApplyMonitorOn();
    Redraw();
    if (!m_bPreview && m_control.TakeFirstRun(m_settings))
        CBoxes::Show(this, kFirstRunHint);
}

void CTrafficPage::Close(bool bMonitorMode) {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    m_timer1.stop();
    m_timer2.stop();
    if (bMonitorMode && !m_bPreview)
        m_files.ClearMarker(kvo::linkwatch::kMonitorStarted);
}

void CTrafficPage::ApplyMonitorOn() {
    const bool on = m_settings.monitorOn != 0;
    m_pChart->setVisible(on);
    m_pViewStrip->setVisible(on);
    m_pModeStrip->setVisible(on);
    m_pDate->setVisible(on);
    {
        QSignalBlocker block(m_pMonitorOn);
        m_pMonitorOn->setChecked(on);
    }
    m_pMonitorOn->setVisible(!on);
    if (on && m_bOpen) {
        m_timer1.start();
        m_timer2.start();
    } else {
        m_timer1.stop();
    }
}

bool CTrafficPage::ChartsShown() const {
    return m_pChart->isVisibleTo(this);
}

void CTrafficPage::TapViewStrip(int icon) {
    if (icon < 0 || icon > 2)
        return;
    SetView(icon + 1);
}

void CTrafficPage::TapModeStrip(int icon) {
    if (icon == 0) {
        RunSettingsDialog();
        return;
    }
    // The day view has one way of showing: the modes are the month's and the year's.
    if ((icon == 1 || icon == 2) && m_nView != VIEW_DAY)
        SetCostsMode(icon == 1);
}

void CTrafficPage::SetView(int view) {
    m_nView = view;
    m_pViewStrip->SetFramed(view - 1);
    Redraw();
}

void CTrafficPage::SetCostsMode(bool bCosts) {
    m_bCosts = bCosts;
    m_pModeStrip->SetFramed(bCosts ? 1 : 2);
    Redraw();
}

void CTrafficPage::SetDate(const QDate& date) {
    m_pDate->setDate(date);
}

void CTrafficPage::Redraw() {
    m_chart = NewChartImage();
    {
        QPainter p(&m_chart);
        CTrafficStatistics stats(m_files, m_settings);
        const int y = m_date.year(), m = m_date.month();
        const ChartMode mode = m_bCosts ? ChartMode::Costs : ChartMode::Traffic;
        if (m_nView == VIEW_DAY)
            DrawDayView(p, stats.Day(y, m, m_date.day()), m_settings, m_strCurrency);
        else if (m_nView == VIEW_MONTH)
            DrawMonthChart(p, stats.Month(y, m), DaysIn(m, y), mode, m_strCurrency);
        else
            DrawYearChart(p, stats.Year(y), mode, m_strCurrency);
    }
    m_pChart->setPixmap(QPixmap::fromImage(m_chart));
}

void CTrafficPage::OnTimer1() {
    if (m_files.HasMarker(kvo::linkwatch::kWrt))
        return;
    Redraw();
    // A session the monitor was just logging shows up in the second look.
    QTimer::singleShot(500, this, [this] {
        if (m_bOpen && !m_files.HasMarker(kvo::linkwatch::kWrt))
            Redraw();
    });
}

void CTrafficPage::OnTimer2() {
    if (m_files.HasMarker(kvo::linkwatch::kNewCfg)) {
        m_files.ClearMarker(kvo::linkwatch::kNewCfg);
        return;
    }
    m_settings = LoadPageSettings(m_files);
}

std::unique_ptr<CTrafficSettingsDlg> CTrafficPage::MakeSettingsDialog() {
    if (m_strCurrency.empty())
        m_strCurrency = CurrencySymbol();
    auto dlg = std::make_unique<CTrafficSettingsDlg>(m_settings,
                                                     QString::fromStdString(m_strCurrency), this);
    connect(dlg.get(), &CTrafficSettingsDlg::TerminateClicked, this, &CTrafficPage::Terminate);
    connect(dlg.get(), &CTrafficSettingsDlg::SetIconClicked, this, [this, d = dlg.get()] {
        auto icon = MakeIconDialog();
        icon->setParent(d, Qt::Dialog);
        if (icon->exec() == QDialog::Accepted)
            SaveIconPosition(icon->Slider()->value());
    });
    return dlg;
}

std::unique_ptr<CIconPositionDlg> CTrafficPage::MakeIconDialog() {
    return std::make_unique<CIconPositionDlg>(m_settings, this);
}

void CTrafficPage::RunSettingsDialog() {
    auto dlg = MakeSettingsDialog();
    if (dlg->exec() == QDialog::Accepted)
        SaveSettings(dlg->Result());
}

bool CTrafficPage::SaveSettings(const MonitorSettings& s) {
    std::string error;
    const bool ok = m_control.Save(s, error);
    m_settings = s;
    if (!ok)
        CBoxes::Show(this, QString::fromStdString(error));
    ApplyMonitorOn();
    Redraw();
    return ok;
}

void CTrafficPage::Terminate() {
    m_control.Stop();
}

bool CTrafficPage::SaveIconPosition(int x) {
    std::string error;
    if (m_control.SaveIconPosition(m_settings, x, error))
        return true;
    CBoxes::Show(this, QString::fromStdString(error));
    return false;
}

}  // namespace kvo::connect::ui
