// The Today screen's window: the host's picture, and taps handed to it.
#pragma once
#include <QWidget>

#include "tools/today/today_host.h"

namespace kvo::today {

class CTodayWindow : public QWidget {
public:
    explicit CTodayWindow(CTodayHost& host, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    CTodayHost& m_host;
};

}  // namespace kvo::today
