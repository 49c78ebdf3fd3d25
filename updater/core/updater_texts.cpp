#include "updater_texts.h"

namespace kvo::updater {

std::u16string LoadText(int id, std::u16string_view arg) {
    std::u16string text;
    switch (id) {
        case IDS_NO_INTERNET:
            text = u"Error, can not connect to Internet.";
            break;
        case IDS_NO_SERVER:
            text = u"Error, can not connect to Server.";
            break;
        case IDS_NO_REQUEST:
            text = u"Error, can not create request.";
            break;
        case IDS_NOT_FOUND:
            text = u"Error, file on server not found.";
            break;
        case IDS_UPDATED:
            text = u"Application was successfully updated.";
            break;
        case IDS_NOT_UPDATED:
            text = u"Application was not updated.";
            break;
        case IDS_NO_VERSION_INFO:
            text = u"Error, file %s version.info not found.";
            break;
        case IDS_UPDATED_RESET:
            text =
                u"Application was successfully updated.\nPlease perform a Soft-Reset to activate "
                u"the changes.";
            break;
        case IDS_NAME_COLUMN:
            text = u"Name";
            break;
        case IDS_SIZE_COLUMN:
            text = u"Size";
            break;
        case IDS_CHECKING:
            text = u"Checking for new %s version.";
            break;
        case IDS_FOUND_UPDATER:
            text = u"Found new %s version. Preparing update to new %s version.";
            break;
        case IDS_NEED_NEW_UPDATER:
            text = u"Error, you need a new version of the Updater. Please try again.";
            break;
        default:
            break;
    }
    for (size_t at = text.find(u"%s"); at != std::u16string::npos;
         at = text.find(u"%s", at + arg.size()))
        text.replace(at, 2, arg);
    return text;
}

}  // namespace kvo::updater
