// The About page: the automatic update switch, "Update" and "Uninstall".
#pragma once
#include <QWidget>

#include "connect/flow/connection.h"

class QCheckBox;
class QPushButton;

namespace kvo::connect::ui {

class CAboutPage : public QWidget {
    Q_OBJECT
public:
    explicit CAboutPage(CConnection& conn, QWidget* parent = nullptr);

    static bool UpdaterInstalled();
    QCheckBox* AutoUpdateBox() const { return m_pAutoUpdate; }
    QPushButton* UpdateButton() const { return m_pUpdate; }
    QPushButton* UninstallButton() const { return m_pUninstall; }

    // "Update": over ActiveSync the updater starts at once; over the phone it starts after
    // the connection is made. The result of the connect flow for the latter.
    void Update();
    // Asks first; true when the suite was removed (the window then closes for the reset).
    bool Uninstall();

signals:
    void Uninstalled();

private:
    CConnection& m_conn;
    QCheckBox* m_pAutoUpdate;
    QPushButton* m_pUpdate;
    QPushButton* m_pUninstall;
};

}  // namespace kvo::connect::ui
