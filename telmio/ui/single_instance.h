// One telmio per device, as on the handheld: a second one hands its recipients to the
// running one (through "newsms.tmp") and ends.
#pragma once
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace kvo::ui {

// The server's name for the current device root.
QString InstanceName();

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(QObject* parent = nullptr);
    // Tells a running telmio to look at its hand-off file; false when none runs.
    static bool WakeRunning(int timeoutMs = 2000);
    // Becomes the running one; false when the name cannot be taken.
    bool Listen();

signals:
    void Activated();

private:
    QLocalServer m_server;
};

}  // namespace kvo::ui
