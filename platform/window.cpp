#include "window.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "error.h"
#include "text.h"

namespace ce {

struct Window {
    std::u16string strClass, strName;
    uint32_t nStyle = 0;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;
    Rect rc;  // in the parent's client coordinates
    void* pData = nullptr;
    HDC hdc = nullptr;
    bool bExternal = false;  // a stand-in for another program's window
};

namespace {

struct ClassEntry {
    WNDCLASS wc;
    std::u16string strName;
};

// Plug-in code may re-enter (a window procedure sending a message), so the tables are
// never locked while a procedure runs.
std::recursive_mutex g_mutex;
std::map<std::u16string, ClassEntry> g_classes;  // folded name
std::vector<std::unique_ptr<Window>> g_windows;
ExternalWindowFinder g_finder;

Window* Live(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    for (auto& w : g_windows)
        if (w.get() == hwnd)
            return hwnd;
    return nullptr;
}

}  // namespace

bool RegisterClass(const WNDCLASS& wc) {
    if (!wc.lpszClassName || !wc.lpfnWndProc || !*wc.lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::lock_guard lock(g_mutex);
    auto [it, fresh] = g_classes.try_emplace(FoldCase(wc.lpszClassName));
    if (!fresh) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    it->second.wc = wc;
    it->second.strName = wc.lpszClassName;
    it->second.wc.lpszClassName = it->second.strName.c_str();
    return true;
}

bool UnregisterClass(std::u16string_view className, HINSTANCE hInstance) {
    std::lock_guard lock(g_mutex);
    auto it = g_classes.find(FoldCase(className));
    if (it == g_classes.end() || it->second.wc.hInstance != hInstance) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    g_classes.erase(it);
    return true;
}

void UnregisterInstanceClasses(HINSTANCE hInstance) {
    std::lock_guard lock(g_mutex);
    std::erase_if(g_classes,
                  [hInstance](const auto& c) { return c.second.wc.hInstance == hInstance; });
}

HWND CreateWindow(std::u16string_view className, std::u16string_view windowName, uint32_t style,
                  int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HINSTANCE) {
    HWND hwnd;
    {
        std::lock_guard lock(g_mutex);
        auto it = g_classes.find(FoldCase(className));
        if (it == g_classes.end() || (parent && !Live(parent))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto w = std::make_unique<Window>();
        w->strClass = it->second.strName;
        w->strName = windowName;
        w->nStyle = style;
        w->proc = it->second.wc.lpfnWndProc;
        w->parent = parent;
        if (x == CW_USEDEFAULT || y == CW_USEDEFAULT)
            x = y = 0;
        w->rc = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
        hwnd = w.get();
        g_windows.push_back(std::move(w));
    }
    if (SendMessage(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

bool DestroyWindow(HWND hwnd) {
    if (!Live(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::vector<HWND> children;
    {
        std::lock_guard lock(g_mutex);
        for (auto& w : g_windows)
            if (w->parent == hwnd)
                children.push_back(w.get());
    }
    for (HWND c : children) DestroyWindow(c);
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    std::lock_guard lock(g_mutex);
    std::erase_if(g_windows, [hwnd](const auto& w) { return w.get() == hwnd; });
    return true;
}

bool IsWindow(HWND hwnd) {
    return Live(hwnd) != nullptr;
}

LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        std::lock_guard lock(g_mutex);
        if (Live(hwnd))
            proc = hwnd->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM, LPARAM) {
    if (msg == WM_ERASEBKGND) {
        // Nothing behind a window of ours but the host's own background.
        return 1;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
    }
    return 0;
}

HWND GetParent(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    return Live(hwnd) ? hwnd->parent : nullptr;
}

std::u16string GetWindowText(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    return Live(hwnd) ? hwnd->strName : std::u16string();
}

std::u16string GetClassName(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    return Live(hwnd) ? hwnd->strClass : std::u16string();
}

bool GetClientRect(HWND hwnd, Rect* rc) {
    std::lock_guard lock(g_mutex);
    if (!Live(hwnd) || !rc)
        return false;
    *rc = {0, 0, hwnd->rc.right - hwnd->rc.left, hwnd->rc.bottom - hwnd->rc.top};
    return true;
}

bool GetWindowRect(HWND hwnd, Rect* rc) {
    std::lock_guard lock(g_mutex);
    if (!Live(hwnd) || !rc)
        return false;
    *rc = hwnd->rc;
    return true;
}

bool MoveWindow(HWND hwnd, int32_t x, int32_t y, int32_t width, int32_t height) {
    std::lock_guard lock(g_mutex);
    if (!Live(hwnd))
        return false;
    hwnd->rc = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    return true;
}

bool IsWindowVisible(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    return Live(hwnd) && (hwnd->nStyle & WS_VISIBLE);
}

void SetWindowData(HWND hwnd, void* data) {
    std::lock_guard lock(g_mutex);
    if (Live(hwnd))
        hwnd->pData = data;
}

void* GetWindowData(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    return Live(hwnd) ? hwnd->pData : nullptr;
}

void SetPaintContext(HWND hwnd, HDC hdc) {
    std::lock_guard lock(g_mutex);
    if (Live(hwnd))
        hwnd->hdc = hdc;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    std::lock_guard lock(g_mutex);
    if (!Live(hwnd) || !ps)
        return nullptr;
    ps->hdc = hwnd->hdc;
    ps->rcPaint = {0, 0, hwnd->rc.right - hwnd->rc.left, hwnd->rc.bottom - hwnd->rc.top};
    return ps->hdc;
}

void EndPaint(HWND, const PAINTSTRUCT*) {}

void FillRect(HDC hdc, const Rect& rc, COLORREF color) {
    if (!hdc || !hdc->pBits)
        return;
    uint32_t pixel = 0xFF000000u | (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
    int32_t x0 = std::max(0, hdc->nOriginX + rc.left),
            x1 = std::min(hdc->nWidth, hdc->nOriginX + rc.right);
    int32_t y0 = std::max(0, hdc->nOriginY + rc.top),
            y1 = std::min(hdc->nHeight, hdc->nOriginY + rc.bottom);
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) hdc->pBits[size_t(y) * hdc->nStride + x] = pixel;
}

void SetExternalWindowFinder(ExternalWindowFinder finder) {
    std::lock_guard lock(g_mutex);
    g_finder = std::move(finder);
}

HWND FindWindow(std::u16string_view className, std::u16string_view windowName) {
    ExternalWindowFinder finder;
    {
        std::lock_guard lock(g_mutex);
        for (auto& w : g_windows) {
            if (w->parent || w->bExternal)
                continue;
            if (!className.empty() && !EqualsNoCase(className, w->strClass))
                continue;
            if (!windowName.empty() && windowName != w->strName)
                continue;
            return w.get();
        }
        finder = g_finder;
    }
    if (windowName.empty() || !finder || !finder(windowName, false))
        return nullptr;
    // A stand-in that SetForegroundWindow can hand back to the finder.
    std::lock_guard lock(g_mutex);
    for (auto& w : g_windows)
        if (w->bExternal && w->strName == windowName)
            return w.get();
    auto w = std::make_unique<Window>();
    w->strName = windowName;
    w->bExternal = true;
    w->nStyle = WS_VISIBLE;
    g_windows.push_back(std::move(w));
    return g_windows.back().get();
}

bool SetForegroundWindow(HWND hwnd) {
    ExternalWindowFinder finder;
    std::u16string name;
    {
        std::lock_guard lock(g_mutex);
        if (!Live(hwnd))
            return false;
        if (!hwnd->bExternal)
            return true;
        finder = g_finder;
        name = hwnd->strName;
    }
    return finder && finder(name, true);
}

}  // namespace ce
