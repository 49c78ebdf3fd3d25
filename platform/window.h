// Windows for the shell's plug-ins. The Today screen and the contacts application are host
// programs of ours; the items they load live in windows of the host's process, take their
// messages and draw into the host's device context. One user-interface thread per process.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ce {

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A device context: 0xFFRRGGBB pixels owned by the host (a Qt RGB32 image's layout). A window's
// client (0, 0) falls on (nOriginX, nOriginY); drawing is clipped to the buffer.
struct DeviceContext {
    uint32_t* pBits = nullptr;
    int32_t nWidth = 0, nHeight = 0, nStride = 0;  // stride in pixels
    int32_t nOriginX = 0, nOriginY = 0;
};
using HDC = DeviceContext*;

struct Window;
using HWND = Window*;
using HINSTANCE = void*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WNDPROC = LRESULT (*)(HWND, uint32_t, WPARAM, LPARAM);
using COLORREF = uint32_t;

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

enum : uint32_t {
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_PAINT = 0x000F,
    WM_ERASEBKGND = 0x0014,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_USER = 0x0400,
};
enum : uint32_t { CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002 };
enum : uint32_t { WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000 };
inline constexpr int32_t CW_USEDEFAULT = INT32_MIN;

constexpr LPARAM MAKELPARAM(int32_t x, int32_t y) {
    return LPARAM((uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16));
}
constexpr int32_t GET_X_LPARAM(LPARAM l) {
    return int16_t(uint16_t(uint32_t(l) & 0xFFFF));
}
constexpr int32_t GET_Y_LPARAM(LPARAM l) {
    return int16_t(uint16_t(uint32_t(l) >> 16));
}

struct WNDCLASS {
    uint32_t style = 0;
    WNDPROC lpfnWndProc = nullptr;
    HINSTANCE hInstance = nullptr;
    const char16_t* lpszClassName = nullptr;
};

// False (ERROR_ALREADY_EXISTS) when the class is registered by another instance already.
bool RegisterClass(const WNDCLASS& wc);
bool UnregisterClass(std::u16string_view className, HINSTANCE hInstance);
// A host unloading a library first drops the classes registered with its instance: their
// window procedures go with the library.
void UnregisterInstanceClasses(HINSTANCE hInstance);

// CW_USEDEFAULT for x or y puts a window at (0, 0). WM_CREATE is sent before it returns.
HWND CreateWindow(std::u16string_view className, std::u16string_view windowName, uint32_t style,
                  int32_t x, int32_t y, int32_t width, int32_t height, HWND parent,
                  HINSTANCE hInstance);
// Also destroys its children; WM_DESTROY goes to each.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);

LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

HWND GetParent(HWND hwnd);
std::u16string GetWindowText(HWND hwnd);
std::u16string GetClassName(HWND hwnd);
bool GetClientRect(HWND hwnd, Rect* rc);
// Position relative to the parent's client area.
bool GetWindowRect(HWND hwnd, Rect* rc);
bool MoveWindow(HWND hwnd, int32_t x, int32_t y, int32_t width, int32_t height);
bool IsWindowVisible(HWND hwnd);

// A host's own data on its windows.
void SetWindowData(HWND hwnd, void* data);
void* GetWindowData(HWND hwnd);

// Painting: the host names the context a window draws into, then sends WM_PAINT; the window
// gets it with BeginPaint (with its origin set to the window's place in the context).
struct PAINTSTRUCT {
    HDC hdc = nullptr;
    Rect rcPaint;
};
void SetPaintContext(HWND hwnd, HDC hdc);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
void EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
// Fills a rectangle of the context (client coordinates of the context's origin).
void FillRect(HDC hdc, const Rect& rc, COLORREF color);

// Top-level windows of this process are found by class and title (either may be empty to
// match any); those of other programs through the finder the host installs, since only it
// knows how to reach them.
using ExternalWindowFinder = std::function<bool(std::u16string_view title, bool bActivate)>;
void SetExternalWindowFinder(ExternalWindowFinder finder);
HWND FindWindow(std::u16string_view className, std::u16string_view windowName);
bool SetForegroundWindow(HWND hwnd);

}  // namespace ce
