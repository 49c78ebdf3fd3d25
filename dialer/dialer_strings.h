// The dialer's string table: message numbers as the program reports them.
#pragma once
#include <string>

namespace kvo::dialer {

enum MessageId : int {
    kMsgCantLoadContacts = 1,
    kMsgCantDetectDevices = 2,
    kMsgRegistry = 3,
    kMsgCantLoadSkinConfig = 4,
    kMsgCantInstallSkin = 5,
    kMsgCantSetParams = 6,
    kMsgCommunication = 7,
    kMsgSkinConfigNotFound = 8,
    kMsgConfigFile = 9,
    kMsgSkinCorrupted = 10,
    kMsgPocketOutlook = 11,
    kMsgDeviceNotSelected = 12,
    kMsgSkinNotSelected = 13,
    kMsgKvoIniNotFound = 14,
    kMsgTitle = 17,
    kMsgCantOpenPort = 18,
    kMsgCantLoadTheme = 19,
    kMsgLocked = 28,
};

// The text of a message number; empty for numbers the table lacks.
std::u16string MessageText(int id);

}  // namespace kvo::dialer
