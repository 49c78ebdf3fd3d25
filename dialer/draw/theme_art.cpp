#include "dialer/draw/theme_art.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cctype>
#include <cstdlib>
#include <functional>

#include "dialer/keypad_layout.h"

namespace kvo::dialer {
namespace {

bool ParseColour(std::string_view v, QColor& out) {
    if (v.size() != 7 || v[0] != '#')
        return false;
    for (char c : v.substr(1))
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    out = QColor(QString::fromLatin1(v.data(), int(v.size())));
    return out.isValid();
}

QImage Canvas(int w, int h, bool alpha) {
    QImage img(w, h, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    img.fill(alpha ? Qt::transparent : Qt::black);
    return img;
}

void Background(const CThemeLook& l, QImage& img) {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, img.height());
    g.setColorAt(0, l.backgroundTop);
    g.setColorAt(1, l.backgroundBottom);
    p.fillRect(img.rect(), g);
    QColor c = l.pattern;
    if (l.strPattern == "lines") {
        c.setAlpha(28);
        p.setPen(QPen(c, 1));
        for (int x = -img.height(); x < img.width(); x += 6)
            p.drawLine(x, img.height(), x + img.height(), 0);
    } else if (l.strPattern == "dots") {
        c.setAlpha(40);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (int y = 4; y < img.height(); y += 10)
            for (int x = (y / 10 % 2) * 5 + 4; x < img.width(); x += 10)
                p.drawEllipse(QPointF(x, y), 1.2, 1.2);
    } else if (l.strPattern == "rings") {
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 7; ++i) {
            c.setAlpha(22 + 6 * (i % 3));
            p.setPen(QPen(c, 10 + 4 * i));
            p.drawEllipse(QPointF(220, 10), 40.0 + 46 * i, 40.0 + 46 * i);
        }
    }
    // A soft sheen behind the display.
    QRadialGradient glow(120, 20, 130);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(img.rect(), glow);
}

// A rounded, lit key face with a one-pixel edge and a gloss on its upper half.
void KeyFace(QImage& img, QColor top, QColor bottom, QColor edge, int radius, QColor behind) {
    img.fill(behind);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r = QRectF(img.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(0, 0, 0, img.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(edge, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
    QLinearGradient gloss(0, 0, 0, img.height() / 2.0);
    gloss.setColorAt(0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1, QColor(255, 255, 255, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(r.adjusted(2, 1.5, -2, -r.height() / 2), radius - 2, radius - 2);
}

// The colour behind a key's corners: the background at that height, so the round corners
// blend in a picture without alpha.
QColor BackgroundAt(const QImage& bg, int x, int y) {
    return QColor(bg.pixel(x, y));
}

QImage Icon(const std::function<void(QPainter&)>& draw) {
    QImage img = Canvas(26, 22, true);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return img;
}

bool Save(const QImage& img, const std::string& folder, const char* name, const char* format,
          std::string& error) {
    std::string path = folder + "/" + name;
    if (!img.save(QString::fromStdString(path), format)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

bool ParseThemeLook(std::string_view text, CThemeLook& out, std::string& error) {
    CThemeLook l;
    const std::map<std::string, QColor*> colours = {
        {"background_top", &l.backgroundTop},
        {"background_bottom", &l.backgroundBottom},
        {"pattern_colour", &l.pattern},
        {"key_top", &l.keyTop},
        {"key_bottom", &l.keyBottom},
        {"key_edge", &l.keyEdge},
        {"keysel_top", &l.keySelTop},
        {"keysel_bottom", &l.keySelBottom},
        {"keysel_edge", &l.keySelEdge},
        {"display_top", &l.displayTop},
        {"display_bottom", &l.displayBottom},
        {"display_edge", &l.displayEdge},
        {"icon", &l.icon},
        {"call_icon", &l.callIcon},
    };
    size_t seen = 0, pos = 0, lineNo = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        std::string_view line = text.substr(pos, eol == std::string_view::npos ? eol : eol - pos);
        pos = eol == std::string_view::npos ? text.size() : eol + 1;
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        size_t eq = line.find('=');
        std::string where = "line " + std::to_string(lineNo) + ": ";
        if (eq == std::string_view::npos) {
            error = where + "no '='";
            return false;
        }
        std::string key(line.substr(0, eq));
        std::string_view value = line.substr(eq + 1);
        if (key == "pattern") {
            l.strPattern = value;
            if (l.strPattern != "none" && l.strPattern != "lines" && l.strPattern != "dots" &&
                l.strPattern != "rings") {
                error = where + "pattern is none, lines, dots or rings";
                return false;
            }
        } else if (key == "radius") {
            l.nRadius = std::atoi(std::string(value).c_str());
            if (l.nRadius < 0 || l.nRadius > 14) {
                error = where + "radius is 0 to 14";
                return false;
            }
        } else if (auto it = colours.find(key); it != colours.end()) {
            if (!ParseColour(value, *it->second)) {
                error = where + "colour is #RRGGBB";
                return false;
            }
            ++seen;
        } else {
            error = where + "unknown key " + key;
            return false;
        }
    }
    if (seen != colours.size()) {
        error = "every colour must be given";
        return false;
    }
    out = l;
    return true;
}

bool DrawThemeArt(const CThemeLook& l, const std::string& folder, std::string& error) {
    QImage bg = Canvas(kClientWidth, kClientHeight, false);
    Background(l, bg);
    if (!Save(bg, folder, "background.bmp", "BMP", error))
        return false;

    // Keys blend into the background where the middle column sits.
    QColor behind = BackgroundAt(bg, 92, 130);
    QImage key = Canvas(kKeyWidth, kKeyHeight, false);
    KeyFace(key, l.keyTop, l.keyBottom, l.keyEdge, l.nRadius, behind);
    if (!Save(key, folder, "key.bmp", "BMP", error))
        return false;
    KeyFace(key, l.keySelTop, l.keySelBottom, l.keySelEdge, l.nRadius, behind);
    if (!Save(key, folder, "keysel.bmp", "BMP", error))
        return false;

    QImage display = Canvas(kDisplayRect.w, kDisplayRect.h, false);
    display.fill(BackgroundAt(bg, 120, 20));
    {
        QPainter p(&display);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, display.height());
        g.setColorAt(0, l.displayTop);
        g.setColorAt(1, l.displayBottom);
        p.setPen(QPen(l.displayEdge, 1.5));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(display.rect()).adjusted(0.75, 0.75, -0.75, -0.75), 5, 5);
        p.setPen(QPen(QColor(0, 0, 0, 40), 1));
        p.drawLine(QPointF(6, 2.5), QPointF(display.width() - 6, 2.5));
    }
    if (!Save(display, folder, "display.bmp", "BMP", error))
        return false;

    QImage call = Icon([&](QPainter& p) {
        // A handset: two ear pieces joined by a curved grip.
        QPainterPath h;
        h.moveTo(4, 7);
        h.cubicTo(4, 3, 8, 2, 10, 4);
        h.lineTo(11, 8);
        h.lineTo(8.5, 9.5);
        h.cubicTo(9.5, 12, 12, 14.5, 14.5, 15.5);
        h.lineTo(16, 13);
        h.lineTo(20, 14);
        h.cubicTo(22, 16, 21, 20, 17, 20);
        h.cubicTo(10, 20, 4, 14, 4, 7);
        p.setPen(Qt::NoPen);
        p.setBrush(l.callIcon);
        p.drawPath(h);
    });
    QImage del = Icon([&](QPainter& p) {
        QPainterPath tag;
        tag.moveTo(2, 11);
        tag.lineTo(8, 4);
        tag.lineTo(23, 4);
        tag.lineTo(23, 18);
        tag.lineTo(8, 18);
        tag.closeSubpath();
        p.setPen(QPen(l.icon, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tag);
        p.drawLine(QPointF(11.5, 7.5), QPointF(18.5, 14.5));
        p.drawLine(QPointF(18.5, 7.5), QPointF(11.5, 14.5));
    });
    QImage contact = Icon([&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(l.icon);
        p.drawEllipse(QPointF(13, 7), 4.5, 4.5);
        QPainterPath body;
        body.moveTo(4, 21);
        body.cubicTo(4, 14, 8, 12.5, 13, 12.5);
        body.cubicTo(18, 12.5, 22, 14, 22, 21);
        body.closeSubpath();
        p.drawPath(body);
    });
    return Save(call, folder, "call.png", "PNG", error) &&
           Save(del, folder, "del.png", "PNG", error) &&
           Save(contact, folder, "contact.png", "PNG", error);
}

}  // namespace kvo::dialer
