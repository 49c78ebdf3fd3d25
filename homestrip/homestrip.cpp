// homestrip: the Today screen's banner. It draws "connect.tdy" over the Today watermark and
// turns taps into program starts by where along the strip they fall.
#include <atomic>
#include <string>

#include "common/install_dir.h"
#include "platform/dib.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/today.h"

namespace {

constexpr char16_t kClassName[] = u"homestrip";
constexpr char16_t kWindowName[] = u"homestripScreen";
constexpr char16_t kProductName[] = u"Orvane kvonet pro";  // string 57355
constexpr char16_t kNoApp[] =                              // string 57356
    u"APP' niet gedefiniëerd. Ga aub. naar setup en klik 'Definiëer APP', om een programma te "
    u"selecteren die hier begint.";
constexpr int32_t kWidth = 240, kHeight = 36;
constexpr ce::COLORREF kTransparent = ce::RGB(252, 2, 132);

// Set when the window is made; the first height query clears it.
std::atomic<bool> g_bFirstCall{false};

std::u16string ProductKey() {
    return std::u16string(kvo::kAppsKey) + u"\\" + kProductName;
}

std::u16string InstallDir() {
    // A missing key leaves the programs to be looked for in the root folder.
    std::u16string dir = ce::RegGetString(ce::HKEY_LOCAL_MACHINE, ProductKey(), u"InstlDir");
    return dir + u"\\";
}

void Tap(ce::HWND hwnd, int32_t x) {
    const std::u16string dir = InstallDir();
    if (x <= 48) {
        ce::CreateProcess(dir + u"connect.exe", u"c");
    } else if (x <= 82) {
        ce::CreateProcess(u"\\Windows\\iexplore.exe", u"");
    } else if (x <= 121) {
        ce::CreateProcess(u"\\Windows\\tmail.exe", u"");
    } else if (x <= 156) {
        if (ce::HWND sms = ce::FindWindow(u"", u"kvo SMS"))
            ce::SetForegroundWindow(sms);
        else
            ce::CreateProcess(dir + u"telmio.exe", u"");
    } else if (x <= 202) {
        std::u16string app = ce::RegGetString(ce::HKEY_LOCAL_MACHINE, ProductKey(), u"myapp");
        if (!app.empty())
            ce::CreateProcess(app, u"");
        else
            ce::MessageBox(hwnd, kNoApp, kProductName, ce::MB_OK | ce::MB_ICONINFORMATION);
    } else {
        ce::CreateProcess(dir + u"connect.exe", u"s");
    }
}

void Paint(ce::HWND hwnd) {
    ce::PAINTSTRUCT ps;
    ce::HDC hdc = ce::BeginPaint(hwnd, &ps);
    // Read on every paint, so a new picture shows without restarting the Today screen.
    if (ce::HBITMAP hbm = ce::SHLoadDIBitmap(InstallDir() + u"connect.tdy")) {
        ce::TransparentBlt(hdc, 0, 0, kWidth, kHeight, *hbm, 0, 0, kWidth, kHeight, kTransparent);
        ce::DeleteObject(hbm);
    }
    ce::EndPaint(hwnd, &ps);
}

ce::LRESULT WndProc(ce::HWND hwnd, uint32_t msg, ce::WPARAM wParam, ce::LPARAM lParam) {
    switch (msg) {
        case ce::WM_PAINT:
            Paint(hwnd);
            return 0;
        case ce::WM_ERASEBKGND: {
            ce::TODAYDRAWWATERMARKINFO dwi;
            dwi.hdc = reinterpret_cast<ce::HDC>(wParam);
            ce::GetClientRect(hwnd, &dwi.rc);
            dwi.hwnd = hwnd;
            ce::SendMessage(ce::GetParent(hwnd), ce::TODAYM_DRAWWATERMARK, 0,
                            reinterpret_cast<ce::LPARAM>(&dwi));
            return 1;
        }
        case ce::WM_LBUTTONUP:
            Tap(hwnd, ce::GET_X_LPARAM(lParam));
            return 0;
        case ce::WM_TODAYCUSTOM_CLEARCACHE:
            return 0;
        case ce::WM_TODAYCUSTOM_QUERYREFRESHCACHE: {
            auto* item = reinterpret_cast<ce::TODAYLISTITEM*>(wParam);
            if (!item || !g_bFirstCall.exchange(false))
                return 0;
            item->cyp = kHeight;
            return 1;
        }
        default:
            return ce::DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

#define HOMESTRIP_EXPORT extern "C" __attribute__((visibility("default")))

HOMESTRIP_EXPORT ce::HWND InitializeCustomItem(ce::TODAYLISTITEM* item, ce::HWND parent) {
    if (!item || !item->fEnabled)
        return nullptr;
    ce::WNDCLASS wc;
    wc.style = ce::CS_HREDRAW | ce::CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = item->hinstDLL;
    wc.lpszClassName = kClassName;
    // A second item initialisation finds the class there already.
    ce::RegisterClass(wc);
    ce::HWND hwnd =
        ce::CreateWindow(kClassName, kWindowName, ce::WS_VISIBLE | ce::WS_CHILD, ce::CW_USEDEFAULT,
                         ce::CW_USEDEFAULT, 0, 0, parent, item->hinstDLL);
    g_bFirstCall = true;
    return hwnd;
}

HOMESTRIP_EXPORT ce::LRESULT CustomItemOptionsDlgProc(ce::HWND, uint32_t, ce::WPARAM, ce::LPARAM) {
    return 0;
}
