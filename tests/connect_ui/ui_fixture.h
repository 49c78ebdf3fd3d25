// connect's window on a fresh device: the real connection object, message boxes recorded
// and questions answered from presets.
#pragma once
#include <QApplication>
#include <memory>

#include "connect/flow/connection.h"
#include "connect/ui/boxes.h"
#include "kvocomm/kvocomm.h"
#include "tests/support/temp_device.h"

namespace kvo::connect::ui::test {

QApplication& App();

class ConnectWindowTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // A connection that went through start-up and loaded the database.
    CConnection& Conn();
    std::vector<QString> Shown() const { return CBoxes::Shown(); }
    bool Shown(const QString& text) const;
    // Runs `f` on the next modal dialog once it is up (for code that calls exec()).
    void OnNextModal(std::function<void(QWidget*)> f);

    kvo::CRecordingUi m_ui{true};
    CKvoComm m_comm;
    std::unique_ptr<CConnection> m_pConn;
};

// Where the test run leaves its pictures; made when missing.
std::string ScreenshotPath(const std::string& name);

}  // namespace kvo::connect::ui::test
