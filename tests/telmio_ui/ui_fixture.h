// The window on a fresh device: the real core, messages put into the store, kvophone on COM3:
// when a test needs the phone. Message boxes are recorded, not shown.
#pragma once
#include <QApplication>
#include <memory>

#include "telmio/ui/main_frame.h"
#include "tests/support/temp_device.h"

namespace kvo::ui::test {

QApplication& App();

class WindowTest : public kvo::test::DeviceTest {
protected:
    WindowTest();
    ~WindowTest() override;
    void SetUp() override;
    void TearDown() override;
    void StartPhone();
    // Starts the document and opens the frame.
    CMainFrame& Frame();
    CSmsMessage& AddMessage(int32_t state, const std::u16string& number,
                            const std::u16string& text, int day, int32_t index = -1);
    std::vector<QString> Shown() const { return CMessageBoxes::Shown(); }

    // The simulated phone; its headers name a member "slots", which Qt's keyword macros
    // would spoil here.
    struct Phone;
    std::unique_ptr<Phone> m_pPhone;
    std::unique_ptr<CWindowUi> m_pUi;
    std::unique_ptr<CTelmioDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
};

}  // namespace kvo::ui::test
