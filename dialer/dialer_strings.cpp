#include "dialer/dialer_strings.h"

namespace kvo::dialer {

std::u16string MessageText(int id) {
    switch (id) {
        case kMsgCantLoadContacts:
            return u"Error, can't load contacts.";
        case kMsgCantDetectDevices:
            return u"Error, can't detect devices.";
        case kMsgRegistry:
            return u"Error, can't work with registry.";
        case kMsgCantLoadSkinConfig:
            return u"Error, can't load skin config.";
        case kMsgCantInstallSkin:
            return u"Error, can't install skin:";
        case kMsgCantSetParams:
            return u"Error, can't set parameters for mobile phone.";
        case kMsgCommunication:
            return u"Error during communication with mobile phone.";
        case kMsgSkinConfigNotFound:
            return u"Skin config not found.";
        case kMsgConfigFile:
            return u"Error at work with config file.";
        case kMsgSkinCorrupted:
            return u"Skin corrupted.";
        case kMsgPocketOutlook:
            return u"Pocket Outlook Error.";
        case kMsgDeviceNotSelected:
            return u"Device is not selected.";
        case kMsgSkinNotSelected:
            return u"Skin is not selected.";
        case kMsgKvoIniNotFound:
            return u"kvo.ini not found";
        case kMsgTitle:
            return u"RIV Udovez";
        case kMsgCantOpenPort:
            return u"Error, can't open comunication port.";
        case kMsgCantLoadTheme:
            return u"Error, can't load theme.";
        case kMsgLocked:
            return u"You cannot dial a number, unless the Internet connection is disabled.";
        default:
            return {};
    }
}

}  // namespace kvo::dialer
