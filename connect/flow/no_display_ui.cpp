#include "no_display_ui.h"

#include "connect/dialup/connect_strings.h"
#include "platform/shell_notification.h"

namespace kvo::connect {
namespace {

// Outside the status notification's identifier, so a question's note is not replaced by
// the next status.
constexpr uint32_t kQuestionNoteId = 12101;

void Note(const std::u16string& text) {
    ce::SHNOTIFICATIONDATA d;
    d.dwID = kQuestionNoteId;
    d.csDuration = 10;
    d.strTitle = LoadString(IDS_APP_TITLE);
    d.strHTML = text;
    ce::SHNotificationAdd(d);
}

}  // namespace

void CNoDisplayUi::MessageBox(const std::u16string& text, const std::u16string&) {
    Note(text);
}

bool CNoDisplayUi::Ask(const std::u16string& question) {
    Note(question + u"\n(no display: answered No)");
    return false;
}

// The program's one OK/Cancel question is the telephony retry, where Cancel means "wait on":
// without anybody to ask, giving up is what ends.
bool CNoDisplayUi::OkCancel(const std::u16string& text, const std::u16string&) {
    Note(text + u"\n(no display: answered OK)");
    return true;
}

}  // namespace kvo::connect
