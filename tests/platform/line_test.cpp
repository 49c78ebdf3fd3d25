#include <gtest/gtest.h>

#include "platform/line.h"
#include "platform/registry.h"
#include "tests/support/temp_device.h"

namespace {

using namespace ce;

class LineTest : public kvo::test::DeviceTest {
protected:
    void TearDown() override { SetLineInitializeHook({}); }
};

TEST_F(LineTest, EnumeratesDevicesInIndexOrderWithCapsNegotiation) {
    LineDeviceInfo ir;
    ir.strName = u"Generic IrDA-modem";
    ir.strPort = u"COM3:";
    LineDeviceInfo voiceOnly;
    voiceOnly.strName = u"Voice line";
    voiceOnly.dwMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;
    voiceOnly.dwBearerModes = LINEBEARERMODE_VOICE;
    DWORD id0 = 9, id1 = 9;
    ASSERT_TRUE(AddLineDevice(ir, &id0));
    ASSERT_TRUE(AddLineDevice(voiceOnly, &id1));
    EXPECT_EQ(id0, 0u);
    EXPECT_EQ(id1, 1u);

    HLINEAPP app = nullptr;
    DWORD count = 0;
    ASSERT_EQ(lineInitialize(&app, &count), 0);
    ASSERT_EQ(count, 2u);
    DWORD version = 0;
    EXPECT_EQ(lineNegotiateAPIVersion(app, 0, 0x10003, 0x20000, &version), 0);
    EXPECT_EQ(version, 0x20000u);
    EXPECT_EQ(lineNegotiateAPIVersion(app, 0, 0x30000, 0x30001, &version),
              LINEERR_INCOMPATIBLEAPIVERSION);
    EXPECT_EQ(lineNegotiateAPIVersion(app, 2, 0x10003, 0x20000, &version), LINEERR_BADDEVICEID);

    // A small buffer gets the fixed part and the size it needs, as the callers grow it.
    LINEDEVCAPS caps;
    caps.dwTotalSize = kLineDevCapsFixedSize;
    ASSERT_EQ(lineGetDevCaps(app, 0, version, caps), 0);
    EXPECT_GT(caps.dwNeededSize, caps.dwTotalSize);
    EXPECT_TRUE(caps.strLineName.empty());
    caps.dwTotalSize = caps.dwNeededSize;
    ASSERT_EQ(lineGetDevCaps(app, 0, version, caps), 0);
    EXPECT_EQ(caps.strLineName, u"Generic IrDA-modem");
    EXPECT_TRUE(caps.dwMediaModes & LINEMEDIAMODE_DATAMODEM);
    EXPECT_EQ(caps.dwBearerModes & (LINEBEARERMODE_DATA | LINEBEARERMODE_VOICE),
              LINEBEARERMODE_DATA | LINEBEARERMODE_VOICE);
    caps.dwTotalSize = 1000;
    ASSERT_EQ(lineGetDevCaps(app, 1, version, caps), 0);
    EXPECT_FALSE(caps.dwMediaModes & LINEMEDIAMODE_DATAMODEM);

    HLINE line = nullptr;
    ASSERT_EQ(lineOpen(app, 0, &line, version), 0);
    std::u16string port;
    EXPECT_EQ(lineGetID(line, u"comm/datamodem/portname", port), 0);
    EXPECT_EQ(port, u"COM3:");
    EXPECT_EQ(lineGetID(line, u"comm", port), LINEERR_INVALDEVICECLASS);
    std::vector<uint8_t> cfg;
    size_t needed = 0;
    EXPECT_EQ(lineGetDevConfig(0, u"comm/datamodem", 100, cfg, &needed), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(needed, kDevConfigSize);
    ASSERT_EQ(lineGetDevConfig(0, u"comm/datamodem", 524, cfg), 0);
    EXPECT_EQ(cfg, DefaultDevConfig());
    EXPECT_EQ(lineClose(line), 0);
    EXPECT_EQ(lineClose(line), LINEERR_INVALLINEHANDLE);
    EXPECT_EQ(lineShutdown(app), 0);
    EXPECT_EQ(lineShutdown(app), LINEERR_INVALAPPHANDLE);
}

TEST_F(LineTest, InitializeReportsReinitFromHookAndCorruptRegistry) {
    int calls = 0;
    SetLineInitializeHook([&] { return ++calls < 3 ? LINEERR_REINIT : 0; });
    HLINEAPP app = nullptr;
    DWORD count = 7;
    EXPECT_EQ(lineInitialize(&app, &count), LINEERR_REINIT);
    EXPECT_EQ(lineInitialize(&app, &count), LINEERR_REINIT);
    ASSERT_EQ(lineInitialize(&app, &count), 0);
    EXPECT_EQ(count, 0u);
    lineShutdown(app);
    SetLineInitializeHook({});

    kvo::test::WriteHostFile(m_device.Root() / "registry" / "system.reg", "not a hive\n");
    EXPECT_EQ(lineInitialize(&app, &count), LINEERR_INIFILECORRUPT);
}

}  // namespace
