#include "linkwatch/notifier.h"

#include "platform/datetime.h"
#include "platform/guid.h"
#include "platform/shell_notification.h"

namespace kvo::linkwatch {
namespace {

const ce::GUID& NoticeClass() {
    static const ce::GUID clsid =
        ce::GuidFromString(u"{CA127AF7-3CDE-4C15-A7CD-23F624ABA6B8}").value_or(ce::GUID{});
    return clsid;
}

constexpr uint32_t kDurationMs = 10000;
constexpr uint32_t kPollMs = 100;

}  // namespace

NoticeText TextOf(Notice notice) {
    switch (notice) {
        case Notice::DailyLimit:
            return {u"Warnung",
                    u"<html><body><p>Sie haben Ihr t\u00e4gliches Volumenlimit "
                    u"erreicht.</p></body></html>"};
        case Notice::NinetyPercent:
            return {u"Warnung",
                    u"<html><body><p>Sie haben 90% Ihres monatlichen Volumen Limits "
                    u"erreicht.</p></body></html>"};
        case Notice::MonthlyLimit:
            return {u"Warnung",
                    u"<html><body><p>Sie haben Ihr monatliches Volumen Limit "
                    u"erreicht.</p></body></html>"};
        case Notice::Starting:
            return {u"Info",
                    u"<html><body><p>Starte GPRS Monitor, bitte warten.</p></body></html>"};
    }
    return {};
}

CNotifier::~CNotifier() {
    m_bQuit = true;
    for (std::thread& t : m_threads) t.join();
}

void CNotifier::Show(Notice notice) {
    JoinFinished();
    ce::SHNotificationRemove(&NoticeClass(), kNotificationId);
    uint64_t generation = ++m_nGeneration;
    m_bShown = true;
    ++m_nRunning;
    m_threads.emplace_back([this, notice, generation] { Run(notice, generation); });
}

void CNotifier::Run(Notice notice, uint64_t generation) {
    NoticeText text = TextOf(notice);
    ce::SHNOTIFICATIONDATA data;
    data.dwID = kNotificationId;
    data.npPriority = ce::SHNP_INFORM;
    data.csDuration = kDurationMs / 1000;
    data.clsid = NoticeClass();
    data.strTitle = text.strTitle;
    data.strHTML = text.strBody;
    ce::SHNotificationAdd(data);
    for (uint32_t waited = 0; !m_bQuit && m_nGeneration == generation; waited += kPollMs) {
        if (notice == Notice::Starting) {
            if (m_bStarted || !m_bStarting)
                break;
        } else if (waited >= kDurationMs) {
            break;
        }
        ce::Sleep(kPollMs);
    }
    if (m_nGeneration == generation)
        ce::SHNotificationRemove(&NoticeClass(), kNotificationId);
    if (--m_nRunning == 0)
        m_bShown = false;
}

void CNotifier::JoinFinished() {
    // Workers are few and short; the finished ones are joined before the next starts.
    if (m_nRunning == 0) {
        for (std::thread& t : m_threads) t.join();
        m_threads.clear();
    }
}

}  // namespace kvo::linkwatch
