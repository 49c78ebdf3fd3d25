// The keypad as the theme paints it: background, display with the number, and the keys.
#pragma once
#include <QColor>
#include <QImage>
#include <QPainter>
#include <map>
#include <string>
#include <string_view>

#include "dialer/theme_config.h"

namespace kvo::dialer {

// Pictures of the theme, read from its working folder (a handheld path ending in '\').
class CThemeImages {
public:
    void Load(const CThemeConfig& cfg, std::u16string_view folder);
    // A missing or unreadable picture is a null image; the drawing then falls back.
    QImage m_background, m_defaultKey, m_selectedKey, m_display;
    std::map<std::string, QImage> m_keyBitmaps;
    // Text that reads on the key and display pictures.
    QColor m_keyText, m_keyTextPressed, m_displayText;
};

// Paints the client area (kClientWidth x kClientHeight) into `out`.
void DrawKeypad(QPainter& p, const CThemeConfig& cfg, const CThemeImages& images,
                std::u16string_view number, std::string_view pressedKey);
QImage DrawKeypad(const CThemeConfig& cfg, const CThemeImages& images, std::u16string_view number,
                  std::string_view pressedKey);

}  // namespace kvo::dialer
