// The Today screen's custom item contract. ELF has no ordinals: the two entry points are
// exported under the names below (ordinals 240 and 241 on the handheld).
#pragma once
#include <cstdint>

#include "platform/window.h"

namespace ce {

inline constexpr char kTodayInitializeItem[] = "InitializeCustomItem";      // 240
inline constexpr char kTodayOptionsDlgProc[] = "CustomItemOptionsDlgProc";  // 241
inline constexpr char16_t kTodayItemsKey[] = u"SOFTWARE\\Microsoft\\Today\\Items";
inline constexpr uint32_t kTodayItemCustom = 4;  // "Type" of an item a library draws

enum : uint32_t {
    TODAYM_DRAWWATERMARK = WM_USER + 100,
    WM_TODAYCUSTOM_CLEARCACHE = WM_USER + 242,
    WM_TODAYCUSTOM_QUERYREFRESHCACHE = WM_USER + 243,  // wParam: the TODAYLISTITEM
};

struct TODAYLISTITEM {
    char16_t szName[32] = {};
    uint32_t tlit = kTodayItemCustom;
    uint32_t dwOrder = 0;
    uint32_t cyp = 0;  // the item's height, set by the item
    int32_t fEnabled = 1;
    int32_t fOptions = 0;
    uint32_t grfFlags = 0;
    char16_t szDLLPath[260] = {};
    HINSTANCE hinstDLL = nullptr;
    HWND hwndCustom = nullptr;
    int32_t fSizeOnDraw = 0;
};

struct TODAYDRAWWATERMARKINFO {
    HDC hdc = nullptr;
    Rect rc;
    HWND hwnd = nullptr;
};

using PFNCUSTOMINITIALIZEITEM = HWND (*)(TODAYLISTITEM*, HWND);
using PFNCUSTOMOPTIONSDLGPROC = LRESULT (*)(HWND, uint32_t, WPARAM, LPARAM);

}  // namespace ce
