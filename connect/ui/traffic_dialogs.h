// The traffic page's dialogs: the tariff settings (with its input panel for the number
// fields) and the position of the monitor's graph on the taskbar.
#pragma once
#include <QDialog>

#include "connect/traffic/traffic_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;

namespace kvo::connect::ui {

class CTrafficSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CTrafficSettingsDlg(const kvo::traffic::MonitorSettings& s, const QString& currency,
                        QWidget* parent = nullptr);
    // The fields over the settings it was opened with.
    kvo::traffic::MonitorSettings Result() const;

    QLineEdit* PaymentField() const { return m_pPayment; }
    QLineEdit* InclusiveField() const { return m_pInclusive; }
    QLineEdit* PriceField() const { return m_pPrice; }
    QComboBox* PriceUnitList() const { return m_pUnit; }
    QComboBox* BlockSizeList() const { return m_pBlock; }
    QComboBox* StartDayList() const { return m_pStartDay; }
    QCheckBox* HourlyBox() const { return m_pHourly; }
    QCheckBox* MonitorBox() const { return m_pMonitor; }
    // The input panel is up while a number field has the focus.
    bool InputPanelRaised() const;

signals:
    void TerminateClicked();
    void SetIconClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    kvo::traffic::MonitorSettings m_settings;
    QLineEdit *m_pPayment, *m_pInclusive, *m_pPrice;
    QComboBox *m_pUnit, *m_pBlock, *m_pStartDay;
    QCheckBox *m_pHourly, *m_pMonitor;
    QWidget* m_pPanel;
};

class CIconPositionDlg : public QDialog {
    Q_OBJECT
public:
    CIconPositionDlg(const kvo::traffic::MonitorSettings& s, QWidget* parent = nullptr);
    QSlider* Slider() const { return m_pSlider; }

private:
    QSlider* m_pSlider;
};

}  // namespace kvo::connect::ui
