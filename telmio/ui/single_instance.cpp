#include "telmio/ui/single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include "platform/device.h"

namespace kvo::ui {

QString InstanceName() {
    std::error_code ec;
    auto root = std::filesystem::weakly_canonical(ce::DeviceRoot(), ec);
    QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(root.string()),
                                               QCryptographicHash::Sha1)
                          .toHex()
                          .left(16);
    return "kvo-telmio-" + QString::fromLatin1(hash);
}

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server.nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                s->readAll();
                s->write("ok\n");
                s->flush();
                s->disconnectFromServer();
                emit Activated();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

bool CSingleInstance::WakeRunning(int timeoutMs) {
    QLocalSocket s;
    s.connectToServer(InstanceName());
    if (!s.waitForConnected(timeoutMs)) return false;
    s.write("newsms\n");
    s.flush();
    // The answer says the running one took it; a dying one leaves the file for the next start.
    return s.waitForReadyRead(timeoutMs) && s.readAll().startsWith("ok");
}

bool CSingleInstance::Listen() {
    if (m_server.listen(InstanceName())) return true;
    // A socket left by a telmio that crashed: nobody answers on it.
    if (WakeRunning(500)) return false;
    QLocalServer::removeServer(InstanceName());
    return m_server.listen(InstanceName());
}

}  // namespace kvo::ui
