// connect's string table: the texts its messages, notifications and questions show.
#pragma once
#include <string>

namespace kvo::connect {

enum EConnectString : int {
    IDS_ALREADY_CONNECTED = 2,
    IDS_DEVICE_INIT_FAILED = 4,
    IDS_NO_LINE_DEVICES = 5,
    IDS_CANNOT_OPEN_DEVICE = 7,
    IDS_CANNOT_GET_DEVCONFIG = 8,
    IDS_CANNOT_SET_LOGIN = 9,
    IDS_REGISTRY_FAILED = 10,
    IDS_CANNOT_OPEN_PORT = 11,
    IDS_NO_PHONE = 13,
    IDS_PHONE_NOT_SUPPORTED = 14,
    IDS_ISP_NOT_DETECTED = 15,
    IDS_UNKNOWN_METHOD = 16,
    IDS_UNKNOWN_PHONE_METHOD = 17,
    IDS_DATABASE_FAILED = 18,
    IDS_ISP_DETECTION_FAILED = 20,
    IDS_ISP_NOT_FOUND = 21,
    IDS_NOTE_HEAD = 23,
    IDS_NOTE_TAIL = 24,
    IDS_DETECTING = 26,
    IDS_DETECTED = 27,
    IDS_ASK_UNINSTALL = 29,
    IDS_UNINSTALLED = 30,
    IDS_COMM_ERROR = 42,
    IDS_APP_TITLE = 57344,
    IDS_ASK_FALLBACK = 57353,
    IDS_KEY_NAME = 57355,
    IDS_LOCATION_NAME = 57359,
    IDS_ENTRY_NAME = 57360,
    IDS_TAPI_REINIT = 57361,
    IDS_PIN_MUST_BE_DISABLED = 57365,
    IDS_ASK_DISABLE_PIN = 57366,
    IDS_CHOOSE_AT_CONNECTION = 57368,
    IDS_INTERNET_PRIVATE = 57369,
    IDS_INTRANET = 57372,
    IDS_DIAL = 57396,
    IDS_TODAY_ITEM = 57401,
    IDS_INTRANET_HINT = 57403,
    IDS_NO_UPDATER = 57404,
    IDS_MAIL_CONFIGURED = 57406,
};

// The text of a string; empty for an identifier the table does not hold.
std::u16string LoadString(int id);

// Replaces "%1", "%2" in a table text.
std::u16string FormatString(int id, const std::u16string& a1, const std::u16string& a2 = {});

}  // namespace kvo::connect
