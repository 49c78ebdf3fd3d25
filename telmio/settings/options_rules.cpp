#include "telmio/settings/options_rules.h"

#include <algorithm>

#include "platform/text.h"

namespace kvo {

bool IsValidNumberText(std::u16string_view text) {
    if (text.empty())
        return false;
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == u'+' || c == u';';
    });
}

int ShownInterval(int minutes) {
    return minutes < kMinSyncInterval ? kShownIntervalWhenTooShort : minutes;
}

COptionsValues OptionsFromSettings(const CClientSettings& s) {
    COptionsValues v;
    v.m_bAutoSync = s.m_ini.m_bAutoSync;
    v.m_nInterval = ShownInterval(s.m_ini.m_nInterval);
    v.m_bOwnCentre = s.m_ini.m_bOwnCentre;
    v.m_strCentreNumber = s.m_ini.m_strCentreNumber;
    v.m_bDeleteAfterSync = s.m_ini.m_bDeleteAfterSync;
    v.m_bUserPort = s.m_bUserPort;
    v.m_strUserPort = s.m_strUserPort;
    v.m_nPbStorages = s.m_pb.m_nStorages;
    return v;
}

bool CanSaveOptions(const COptionsValues& v) {
    if (v.m_bAutoSync && v.m_nInterval < kMinSyncInterval)
        return false;
    if (v.m_bOwnCentre && !IsValidNumberText(v.m_strCentreNumber))
        return false;
    return true;
}

uint32_t PbStoragesForItem(int item) {
    return static_cast<uint32_t>(std::clamp(item, 0, 2) + 1) * kPbStorageSim;
}

COptionsOutcome SaveOptions(CClientSettings& settings, const COptionsValues& v, bool bWorkerRunning,
                            IUserInterface& ui) {
    COptionsOutcome outcome;
    if (!CanSaveOptions(v))
        return outcome;
    outcome.m_bRestartCountdown = v.m_nInterval != settings.m_ini.m_nInterval;
    settings.m_ini.m_bAutoSync = v.m_bAutoSync;
    settings.m_ini.m_nInterval = v.m_nInterval;
    settings.m_ini.m_bOwnCentre = v.m_bOwnCentre;
    settings.m_ini.m_strCentreNumber = v.m_strCentreNumber;
    settings.m_ini.m_bDeleteAfterSync = v.m_bDeleteAfterSync;
    settings.m_bUserPort = v.m_bUserPort;
    settings.m_strUserPort = v.m_strUserPort;
    settings.m_pb.m_nStorages = v.m_nPbStorages;
    outcome.m_bSaved = settings.SaveSettings();
    if (!outcome.m_bSaved)
        ui.MessageBox(u"Save failed.");
    outcome.m_bStartWorker = v.m_bAutoSync && !bWorkerRunning;
    outcome.m_bStopWorker = !v.m_bAutoSync && bWorkerRunning;
    return outcome;
}

std::vector<std::u16string> BuildPortList(const std::vector<std::u16string>& modemPorts,
                                          const std::function<bool(std::u16string_view)>& canOpen) {
    std::vector<std::u16string> ports;
    for (const std::u16string& p : modemPorts) {
        if (std::find(ports.begin(), ports.end(), p) == ports.end())
            ports.push_back(p);
    }
    for (int i = 2; i <= 9; ++i) {
        std::u16string name = u"COM" + ce::FromUtf8(std::to_string(i)) + u":";
        if (std::find(ports.begin(), ports.end(), name) != ports.end())
            continue;
        if (canOpen && canOpen(name))
            ports.push_back(name);
    }
    return ports;
}

}  // namespace kvo
