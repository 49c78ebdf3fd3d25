// The Today screen: loads the items registered under HKLM\SOFTWARE\Microsoft\Today\Items,
// stacks them under its date line by the heights they ask for, draws its watermark behind
// them and passes taps on. Drawing goes into a QImage, so tests and screenshots need no
// display.
#pragma once
#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "platform/today.h"

namespace kvo::today {

inline constexpr int kScreenWidth = 240, kScreenHeight = 120, kHeaderHeight = 26;

struct CTodayItem {
    std::u16string m_strName;
    void* m_hLibrary = nullptr;
    ce::TODAYLISTITEM m_item;
    ce::HWND m_hwnd = nullptr;
    int m_nTop = 0;
};

class CTodayHost {
public:
    CTodayHost();
    ~CTodayHost();
    CTodayHost(const CTodayHost&) = delete;
    CTodayHost& operator=(const CTodayHost&) = delete;

    // Loads the enabled items; problems with single items go to `problems` and leave them out.
    void LoadItems(std::vector<std::string>& problems);
    const std::vector<std::unique_ptr<CTodayItem>>& Items() const { return m_items; }

    // The whole screen: watermark, date line, items.
    QImage Paint();
    // The watermark alone, as the screen draws it behind everything.
    const QImage& Watermark() const { return m_watermark; }
    // A tap (pen up) at a screen point; false when no item lies there.
    bool Tap(int x, int y);

    // The window the items live in; handles the watermark request.
    ce::HWND Window() const { return m_hwnd; }

private:
    static ce::LRESULT HostProc(ce::HWND, uint32_t, ce::WPARAM, ce::LPARAM);
    void Unload();

    ce::HWND m_hwnd = nullptr;
    QImage m_watermark;
    std::vector<std::unique_ptr<CTodayItem>> m_items;
};

// How a Today item finds the messaging client's window "kvo SMS" in another process: its
// single-instance hand-over answers whether it runs, and brings it forward when asked.
bool TelmioWindow(std::u16string_view title, bool bActivate);
// Makes TelmioWindow the platform's finder of other programs' windows.
void InstallTelmioFinder();

}  // namespace kvo::today
