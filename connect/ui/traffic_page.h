// The traffic page: the monitor's logs as day, month and year charts with costs, the
// tariff settings, and switching the monitor on and off.
#pragma once
#include <QDate>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "connect/traffic/monitor_control.h"
#include "connect/traffic/traffic_settings.h"
#include "connect/ui/traffic_dialogs.h"

class QCheckBox;
class QDateEdit;
class QDialog;
class QLabel;

namespace kvo::connect::ui {

class CTrafficSettingsDlg;
class CIconPositionDlg;

// A strip of three 20 x 20 icons in 82 x 24 pixels; a tap inside an icon's zone picks it.
class CIconStrip : public QWidget {
    Q_OBJECT
public:
    CIconStrip(bool bSecond, QWidget* parent = nullptr);
    // The icon whose zone holds x, or -1.
    int IconAt(int x) const;
    void SetFramed(int icon);
    int Framed() const { return m_nFramed; }

signals:
    void Tapped(int icon);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    bool m_bSecond;
    int m_nFramed = 0;
};

class CTrafficPage : public QWidget {
    Q_OBJECT
public:
    enum EView { VIEW_DAY = 1, VIEW_MONTH = 2, VIEW_YEAR = 3 };

    // A preview (a screenshot) shows the page but leaves the monitor's files alone: no marker,
    // no deleted log, and the first-run hint still to come.
    explicit CTrafficPage(const std::u16string& appDir, bool bPreview = false,
                          QWidget* parent = nullptr);

    // The page comes into view / goes; `bMonitorMode` clears MONITORSTARTED.
    void Open();
    void Close(bool bMonitorMode);
    bool IsOpen() const { return m_bOpen; }

    // Taps on the strips (icon 0..2), as a person's finger gives them.
    void TapViewStrip(int icon);
    void TapModeStrip(int icon);
    void SetView(int view);
    void SetCostsMode(bool bCosts);
    int View() const { return m_nView; }
    bool CostsMode() const { return m_bCosts; }
    void SetDate(const QDate& date);

    const kvo::traffic::MonitorSettings& Settings() const { return m_settings; }
    bool ChartsShown() const;
    bool Timer1Active() const { return m_timer1.isActive(); }
    const QImage& Chart() const { return m_chart; }
    CIconStrip* ViewStrip() const { return m_pViewStrip; }
    CIconStrip* ModeStrip() const { return m_pModeStrip; }
    QCheckBox* MonitorOnBox() const { return m_pMonitorOn; }

    // The settings dialog; OK saves through SaveSettings.
    void RunSettingsDialog();
    // Writes the settings and switches the monitor as they say.
    bool SaveSettings(const kvo::traffic::MonitorSettings& s);
    // "Terminate": stops the monitor.
    void Terminate();
    // The icon position dialog's OK.
    bool SaveIconPosition(int x);
    std::unique_ptr<CTrafficSettingsDlg> MakeSettingsDialog();
    std::unique_ptr<CIconPositionDlg> MakeIconDialog();

    // The timers' work, for tests that do not wait for them.
    void OnTimer1();
    void OnTimer2();
    void Redraw();

    static const char kFirstRunHint[];

private:
    void ApplyMonitorOn();

    kvo::linkwatch::CMonitorFiles m_files;
    kvo::traffic::CMonitorControl m_control;
    kvo::traffic::MonitorSettings m_settings;
    std::string m_strCurrency;
    int m_nView = VIEW_DAY;
    bool m_bCosts = false;
    bool m_bOpen = false;
    bool m_bPreview;
    QDate m_date;
    QImage m_chart;
    QTimer m_timer1, m_timer2;
    QLabel* m_pChart;
    CIconStrip* m_pViewStrip;
    CIconStrip* m_pModeStrip;
    QDateEdit* m_pDate;
    QCheckBox* m_pMonitorOn;
};

}  // namespace kvo::connect::ui
