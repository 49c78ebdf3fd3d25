// The Options dialog's rules without the window, for the dialog and the command line.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_interface.h"
#include "telmio/settings/client_settings.h"

namespace kvo {

inline constexpr int kMinSyncInterval = 2;  // minutes
inline constexpr int kShownIntervalWhenTooShort = 60;

// Digits, '+' and ';', not empty.
bool IsValidNumberText(std::u16string_view text);
// The period the minutes box shows for a stored one.
int ShownInterval(int minutes);

// What the user set in the dialog.
struct COptionsValues {
    bool m_bAutoSync = false;
    int m_nInterval = 10;
    bool m_bOwnCentre = false;
    std::u16string m_strCentreNumber;
    bool m_bDeleteAfterSync = false;
    bool m_bUserPort = false;
    std::u16string m_strUserPort;
    uint32_t m_nPbStorages = kPbStorageSim | kPbStoragePhone;
};

COptionsValues OptionsFromSettings(const CClientSettings& settings);
// "Save" is allowed: the period is not below 2 minutes when automatic synchronisation is
// on, and the centre number is valid when it is to be set.
bool CanSaveOptions(const COptionsValues& values);
// "SIM", "Phone", "SIM+Phone" (items 0, 1, 2) as phonebook storages.
uint32_t PbStoragesForItem(int item);

// What the caller has to do with the automatic synchronisation worker afterwards.
struct COptionsOutcome {
    bool m_bSaved = false;
    bool m_bRestartCountdown = false;  // the interval changed
    bool m_bStartWorker = false;
    bool m_bStopWorker = false;
};

// Refuses values CanSaveOptions rejects (nothing saved, m_bSaved false). Otherwise stores
// them and saves; a failed save shows "Save failed.".
COptionsOutcome SaveOptions(CClientSettings& settings, const COptionsValues& values,
                            bool bWorkerRunning, IUserInterface& ui);

// The "Port" list: the modem devices' ports without duplicates, then those of COM2: to
// COM9: that `canOpen` can open at this moment.
std::vector<std::u16string> BuildPortList(const std::vector<std::u16string>& modemPorts,
                                          const std::function<bool(std::u16string_view)>& canOpen);

}  // namespace kvo
