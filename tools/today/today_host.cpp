#include "tools/today/today_host.h"

#include <dlfcn.h>

#include <QDate>
#include <QLinearGradient>
#include <QLocalSocket>
#include <QPainter>
#include <algorithm>
#include <filesystem>

#include "platform/device.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "telmio/ui/single_instance.h"

namespace kvo::today {
namespace {

constexpr char16_t kHostClass[] = u"DesktopExplorerWindow";

QImage MakeWatermark() {
    QImage img(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, kScreenWidth, kScreenHeight);
    g.setColorAt(0, QColor(0x1f, 0x5f, 0x9e));
    g.setColorAt(1, QColor(0x0b, 0x26, 0x47));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        p.setBrush(QColor(255, 255, 255, 10 + 4 * i));
        p.drawEllipse(QPointF(200 - 12 * i, 110 + 6 * i), 120.0 - 18 * i, 60.0 - 8 * i);
    }
    return img;
}

}  // namespace

CTodayHost::CTodayHost() : m_watermark(MakeWatermark()) {
    ce::WNDCLASS wc;
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = kHostClass;
    ce::RegisterClass(wc);  // a second host in one process shares the class
    m_hwnd = ce::CreateWindow(kHostClass, u"Today", ce::WS_VISIBLE, 0, 0, kScreenWidth,
                              kScreenHeight, nullptr, nullptr);
    ce::SetWindowData(m_hwnd, this);
}

CTodayHost::~CTodayHost() {
    Unload();
    ce::DestroyWindow(m_hwnd);
}

void CTodayHost::Unload() {
    for (auto& item : m_items) {
        if (item->m_hwnd)
            ce::DestroyWindow(item->m_hwnd);
        // The library's windows and classes are gone; its code may go too.
        if (item->m_hLibrary) {
            ce::UnregisterInstanceClasses(item->m_hLibrary);
            dlclose(item->m_hLibrary);
        }
    }
    m_items.clear();
}

void CTodayHost::LoadItems(std::vector<std::string>& problems) {
    Unload();
    auto names = ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, ce::kTodayItemsKey);
    if (!names)
        return;  // no items registered
    struct Found {
        uint32_t order;
        std::u16string name, dll;
    };
    std::vector<Found> found;
    for (const auto& n : *names) {
        std::u16string key = std::u16string(ce::kTodayItemsKey) + u"\\" + n;
        if (ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, key, u"Enabled", 1) == 0)
            continue;
        if (ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, key, u"Type", ce::kTodayItemCustom) !=
            ce::kTodayItemCustom)
            continue;
        found.push_back({ce::RegGetDword(ce::HKEY_LOCAL_MACHINE, key, u"Order", 0), n,
                         ce::RegGetString(ce::HKEY_LOCAL_MACHINE, key, u"DLL")});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.order < b.order; });
    int top = kHeaderHeight;
    for (const auto& f : found) {
        const std::string what = "Today item \"" + ce::ToUtf8(f.name) + "\": ";
        // Installed libraries are links to the built ones, as programs are: mapped, not
        // confined to the device like the files programs open.
        std::filesystem::path host = f.dll.empty() ? std::filesystem::path() : ce::MapPath(f.dll);
        std::error_code ec;
        if (host.empty() || !std::filesystem::exists(host, ec)) {
            problems.push_back(what + "no library at \"" + ce::ToUtf8(f.dll) + "\"");
            continue;
        }
        void* lib = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            problems.push_back(what + "cannot load " + host.string() + ": " + dlerror());
            continue;
        }
        auto init =
            reinterpret_cast<ce::PFNCUSTOMINITIALIZEITEM>(dlsym(lib, ce::kTodayInitializeItem));
        if (!init) {
            problems.push_back(what + "the library exports no " + ce::kTodayInitializeItem);
            dlclose(lib);
            continue;
        }
        auto item = std::make_unique<CTodayItem>();
        item->m_strName = f.name;
        item->m_hLibrary = lib;
        item->m_item.dwOrder = f.order;
        f.name.copy(item->m_item.szName, std::size(item->m_item.szName) - 1);
        f.dll.copy(item->m_item.szDLLPath, std::size(item->m_item.szDLLPath) - 1);
        item->m_item.hinstDLL = lib;
        item->m_hwnd = init(&item->m_item, m_hwnd);
        if (!item->m_hwnd) {
            // A disabled item answers with no window; it takes no room.
            ce::UnregisterInstanceClasses(lib);
            dlclose(lib);
            continue;
        }
        item->m_item.hwndCustom = item->m_hwnd;
        ce::SendMessage(item->m_hwnd, ce::WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                        reinterpret_cast<ce::WPARAM>(&item->m_item), 0);
        int height = std::clamp(int(item->m_item.cyp), 0, kScreenHeight);
        ce::MoveWindow(item->m_hwnd, 0, top, kScreenWidth, height);
        item->m_nTop = top;
        top += height;
        m_items.push_back(std::move(item));
    }
}

ce::LRESULT CTodayHost::HostProc(ce::HWND hwnd, uint32_t msg, ce::WPARAM wParam,
                                 ce::LPARAM lParam) {
    if (msg != ce::TODAYM_DRAWWATERMARK)
        return ce::DefWindowProc(hwnd, msg, wParam, lParam);
    auto* host = static_cast<CTodayHost*>(ce::GetWindowData(hwnd));
    auto* info = reinterpret_cast<const ce::TODAYDRAWWATERMARKINFO*>(lParam);
    if (!host || !info || !info->hdc || !info->hdc->pBits)
        return 0;
    // The part of the screen's watermark that lies under the item's rectangle.
    ce::HDC dc = info->hdc;
    const QImage& wm = host->m_watermark;
    for (int y = info->rc.top; y < info->rc.bottom; ++y) {
        int sy = dc->nOriginY + y;
        if (sy < 0 || sy >= dc->nHeight || sy >= wm.height())
            continue;
        const auto* src = reinterpret_cast<const uint32_t*>(wm.constScanLine(sy));
        for (int x = info->rc.left; x < info->rc.right; ++x) {
            int sx = dc->nOriginX + x;
            if (sx < 0 || sx >= dc->nWidth || sx >= wm.width())
                continue;
            dc->pBits[size_t(sy) * dc->nStride + sx] = src[sx];
        }
    }
    return 1;
}

QImage CTodayHost::Paint() {
    QImage screen = m_watermark.copy();
    {
        QPainter p(&screen);
        p.fillRect(QRect(0, 0, kScreenWidth, kHeaderHeight), QColor(0, 0, 0, 70));
        QFont f("DejaVu Sans");
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(8, 0, kScreenWidth - 16, kHeaderHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   QLocale(QLocale::English).toString(QDate::currentDate(), "dddd, d MMMM yyyy"));
    }
    ce::DeviceContext dc;
    dc.pBits = reinterpret_cast<uint32_t*>(screen.bits());
    dc.nWidth = screen.width();
    dc.nHeight = screen.height();
    dc.nStride = int32_t(screen.bytesPerLine() / 4);
    for (auto& item : m_items) {
        dc.nOriginX = 0;
        dc.nOriginY = item->m_nTop;
        ce::SetPaintContext(item->m_hwnd, &dc);
        ce::SendMessage(item->m_hwnd, ce::WM_ERASEBKGND, reinterpret_cast<ce::WPARAM>(&dc), 0);
        ce::SendMessage(item->m_hwnd, ce::WM_PAINT, 0, 0);
        ce::SetPaintContext(item->m_hwnd, nullptr);
    }
    return screen;
}

bool CTodayHost::Tap(int x, int y) {
    for (auto& item : m_items) {
        ce::Rect rc;
        ce::GetWindowRect(item->m_hwnd, &rc);
        if (x < rc.left || x >= rc.right || y < rc.top || y >= rc.bottom)
            continue;
        ce::SendMessage(item->m_hwnd, ce::WM_LBUTTONUP, 0, ce::MAKELPARAM(x - rc.left, y - rc.top));
        return true;
    }
    return false;
}

bool TelmioWindow(std::u16string_view title, bool bActivate) {
    if (title != u"kvo SMS")
        return false;
    if (bActivate)
        return kvo::ui::CSingleInstance::WakeRunning(2000);
    // Only whether it runs: a connection that says nothing asks nothing of it.
    QLocalSocket s;
    s.connectToServer(kvo::ui::InstanceName());
    bool running = s.waitForConnected(1000);
    s.abort();
    return running;
}

void InstallTelmioFinder() {
    ce::SetExternalWindowFinder(TelmioWindow);
}

}  // namespace kvo::today
