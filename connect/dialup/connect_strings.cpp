#include "connect_strings.h"

#include <map>

namespace kvo::connect {

std::u16string LoadString(int id) {
    static const std::map<int, std::u16string> table = {
        {IDS_ALREADY_CONNECTED, u"Can not connect. You are already connected."},
        {IDS_DEVICE_INIT_FAILED, u"Device initialization failed."},
        {IDS_NO_LINE_DEVICES, u"There are no line devices available."},
        {IDS_CANNOT_OPEN_DEVICE, u"Cannot open device."},
        {IDS_CANNOT_GET_DEVCONFIG, u"Cannot open device."},
        {IDS_CANNOT_SET_LOGIN, u"Cannot set login and password."},
        {IDS_REGISTRY_FAILED, u"Access to registers failed."},
        {IDS_CANNOT_OPEN_PORT, u"Cannot open communication port."},
        {IDS_NO_PHONE,
         u"Cannot connect to mobile phone. Please check connection method and try again."},
        {IDS_PHONE_NOT_SUPPORTED,
         u"This mobile phone is not supported or wrong connection method is selected.\n"
         u"Download an update from www.orvane.com"},
        {IDS_ISP_NOT_DETECTED, u"Can not autodetect your ISP. Connection failed."},
        {IDS_UNKNOWN_METHOD, u"Unknown connection method."},
        {IDS_UNKNOWN_PHONE_METHOD, u"Unknown mobile phone's connection method..."},
        {IDS_DATABASE_FAILED, u"Can not load database file."},
        {IDS_ISP_DETECTION_FAILED, u"ISP detection failed."},
        {IDS_ISP_NOT_FOUND, u"ISP not found in database."},
        {IDS_NOTE_HEAD, u"<table><tr><td><font color=\"midnightblue\">"},
        {IDS_NOTE_TAIL, u"</font></td></tr></table>"},
        {IDS_DETECTING, u"Detecting your mobile phone & settings..."},
        {IDS_DETECTED,
         u"<table><tr><td>Phone:</td><td>#MOBIL</td></tr><tr><td>Connection:</td>"
         u"<td>#CONN</td></tr><tr><td>ISP:</td><td>#ISP</td></tr><tr><td>User:</td>"
         u"<td>#USERNAME</td></tr></table>"},
        {IDS_ASK_UNINSTALL, u"Are you sure you wish to uninstall kvonet pro?"},
        {IDS_UNINSTALLED,
         u"After pressing OK a restart is performed. Afterwards you can uninstall kvonet pro "
         u"via ActiveSync or directly on your Pocket PC via Settings->System->Remove "
         u"Programs."},
        {IDS_COMM_ERROR, u"Error occured during communication."},
        {IDS_APP_TITLE, u"kvonet pro"},
        {IDS_ASK_FALLBACK, u"%1 connection failed, do you want to try %2 ?"},
        {IDS_KEY_NAME, u"Orvane kvonet pro"},
        {IDS_LOCATION_NAME, u"kvo Connection"},
        {IDS_ENTRY_NAME, u"kvonet"},
        {IDS_TAPI_REINIT,
         u"Initalisation of\n tapi.dll not possible. Close all programs\nand try it again."},
        {IDS_PIN_MUST_BE_DISABLED,
         u"To connect to internet you must deactivate your PIN code from your SIM card."},
        {IDS_ASK_DISABLE_PIN, u"Should your software deactivate your PIN code from your SIM card?"},
        {IDS_CHOOSE_AT_CONNECTION, u"<choose at connection>"},
        {IDS_INTERNET_PRIVATE, u"Internet private"},
        {IDS_INTRANET, u"Intranet"},
        {IDS_DIAL, u"Dial %1"},
        {IDS_TODAY_ITEM, u"Kvonet"},
        {IDS_INTRANET_HINT,
         u"To use the intranet settings, choose the network \"Intranet\" and enter your user "
         u"name and password."},
        {IDS_NO_UPDATER, u"Cannot find updater."},
        {IDS_MAIL_CONFIGURED, u"Mail account successfully configured."},
    };
    auto it = table.find(id);
    return it == table.end() ? std::u16string() : it->second;
}

std::u16string FormatString(int id, const std::u16string& a1, const std::u16string& a2) {
    std::u16string text = LoadString(id), out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() &&
            (text[i + 1] == u'1' || text[i + 1] == u'2')) {
            out += text[i + 1] == u'1' ? a1 : a2;
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace kvo::connect
