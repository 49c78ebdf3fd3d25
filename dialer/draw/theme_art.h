// Our shipped themes' pictures, drawn at build time from a short description of their look
// (data/themes/<name>/look.txt: "key=value" lines, colours as #RRGGBB).
#pragma once
#include <QColor>
#include <map>
#include <string>
#include <string_view>

namespace kvo::dialer {

struct CThemeLook {
    QColor backgroundTop, backgroundBottom, pattern;
    std::string strPattern = "none";  // none | lines | dots | rings
    QColor keyTop, keyBottom, keyEdge, keySelTop, keySelBottom, keySelEdge;
    QColor displayTop, displayBottom, displayEdge;
    QColor icon, callIcon;
    int nRadius = 6;
};

// False with the reason for an unknown key, a bad colour or a missing one.
bool ParseThemeLook(std::string_view text, CThemeLook& out, std::string& error);

// Writes background.bmp, key.bmp, keysel.bmp, display.bmp and the icons call.png, del.png,
// contact.png into a host folder.
bool DrawThemeArt(const CThemeLook& look, const std::string& folder, std::string& error);

}  // namespace kvo::dialer
