#include "dialer/draw/keypad_draw.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "common/narrow.h"
#include "dialer/keypad_layout.h"
#include "dialer/theme_package.h"
#include "platform/file.h"

namespace kvo::dialer {
namespace {

// Bitmap keys leave this colour out, as icon bitmaps of such keypads do.
constexpr QRgb kTransparentKey = qRgb(255, 0, 255);
constexpr int kMaxFontHeight = 100;

QImage LoadPicture(std::u16string_view folder, const std::string& name, bool bKeyed = false) {
    // A configuration names files of its own folder only.
    if (!IsSafeThemeEntryName(name))
        return {};
    std::string bytes;
    if (!ce::ReadFileBytes(std::u16string(folder) + Widen(name), bytes))
        return {};
    QImage img;
    if (!img.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size())))
        return {};
    const bool bOpaque = !img.hasAlphaChannel();
    img = img.convertToFormat(QImage::Format_ARGB32);
    if (bKeyed && bOpaque) {
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if (line[x] == kTransparentKey)
                    line[x] = 0;
        }
    }
    return img;
}

// Light text on dark pictures, dark text on light ones.
QColor TextFor(const QImage& img, QColor fallback) {
    if (img.isNull())
        return fallback;
    QImage small = img.scaled(8, 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    int n = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            QRgb c = small.pixel(x, y);
            if (qAlpha(c) < 128)
                continue;
            sum += 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
            ++n;
        }
    if (n == 0)
        return fallback;
    return sum / n < 140 ? QColor(0xF4, 0xF6, 0xFA) : QColor(0x2A, 0x24, 0x1E);
}

QFont ThemeFont(const std::string& face, int height) {
    QFont f(QString::fromLatin1(face.data(), int(face.size())));
    f.setPixelSize(std::clamp(height > 0 ? height : 14, 6, kMaxFontHeight));
    f.setBold(true);
    return f;
}

void DrawFrame(QPainter& p, const QRect& r, const QColor& fill, const QColor& edge) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(edge);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
}

}  // namespace

void CThemeImages::Load(const CThemeConfig& cfg, std::u16string_view folder) {
    m_background = LoadPicture(folder, cfg.m_strBackground);
    m_defaultKey = LoadPicture(folder, cfg.m_strDefaultKey);
    m_selectedKey = LoadPicture(folder, cfg.m_strSelectedKey);
    m_display = LoadPicture(folder, cfg.m_strDisplay);
    m_keyBitmaps.clear();
    for (const auto& [key, look] : cfg.m_keys)
        if (look.m_bBitmap)
            m_keyBitmaps[key] = LoadPicture(folder, look.m_strFile, true);
    m_keyText = TextFor(m_defaultKey, Qt::black);
    m_keyTextPressed = TextFor(m_selectedKey.isNull() ? m_defaultKey : m_selectedKey, Qt::black);
    m_displayText = TextFor(m_display, Qt::black);
}

void DrawKeypad(QPainter& p, const CThemeConfig& cfg, const CThemeImages& images,
                std::u16string_view number, std::string_view pressedKey) {
    const QRect client(0, 0, kClientWidth, kClientHeight);
    if (images.m_background.isNull())
        p.fillRect(client, QColor(0xE8, 0xEA, 0xEE));
    else
        p.drawImage(client, images.m_background);

    const QRect display(kDisplayRect.x, kDisplayRect.y, kDisplayRect.w, kDisplayRect.h);
    if (images.m_display.isNull())
        DrawFrame(p, display, Qt::white, QColor(0x80, 0x88, 0x90));
    else
        p.drawImage(display, images.m_display);
    QFont displayFont = ThemeFont(cfg.m_strDisplayFont, cfg.m_nDisplayHeight);
    p.setFont(displayFont);
    p.setPen(images.m_displayText);
    // The end of a long number is what the user just typed.
    QString text = QString::fromStdU16String(std::u16string(number));
    QRect textRect = display.adjusted(8, 0, -8, 0);
    text = QFontMetrics(displayFont).elidedText(text, Qt::ElideLeft, textRect.width());
    p.drawText(textRect, Qt::AlignRight | Qt::AlignVCenter, text);

    for (const char* const* k = ThemeKeyNames(); *k; ++k) {
        KeyRect kr;
        KeyRectOf(*k, kr);
        const QRect r(kr.x, kr.y, kr.w, kr.h);
        const bool pressed = pressedKey == *k;
        const QImage& face =
            pressed && !images.m_selectedKey.isNull() ? images.m_selectedKey : images.m_defaultKey;
        if (face.isNull())
            DrawFrame(p, r, pressed ? QColor(0xB0, 0xC8, 0xE8) : QColor(0xFA, 0xFA, 0xFA),
                      QColor(0x80, 0x88, 0x90));
        else
            p.drawImage(r, face);
        auto look = cfg.m_keys.find(*k);
        QString label;
        QFont font;
        if (look == cfg.m_keys.end()) {
            // A theme without this key still gets a usable keypad.
            label = QString::fromLatin1(*k + 3);
            font = ThemeFont("DejaVu Sans", 14);
        } else if (look->second.m_bBitmap) {
            auto bm = images.m_keyBitmaps.find(*k);
            if (bm != images.m_keyBitmaps.end() && !bm->second.isNull()) {
                QSize s = bm->second.size().boundedTo(r.size());
                QRect at(QPoint(0, 0), s);
                at.moveCenter(r.center());
                if (pressed)
                    at.translate(0, 1);
                p.drawImage(at, bm->second);
            }
            continue;
        } else {
            const auto& l = look->second.m_strLabel;
            label = QString::fromLatin1(l.data(), int(l.size()));
            font = ThemeFont(look->second.m_strFont, look->second.m_nHeight);
        }
        p.setFont(font);
        p.setPen(pressed ? images.m_keyTextPressed : images.m_keyText);
        p.drawText(r.translated(0, pressed ? 1 : 0), Qt::AlignCenter, label);
    }
}

QImage DrawKeypad(const CThemeConfig& cfg, const CThemeImages& images, std::u16string_view number,
                  std::string_view pressedKey) {
    QImage img(kClientWidth, kClientHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter p(&img);
    DrawKeypad(p, cfg, images, number, pressedKey);
    p.end();
    return img;
}

}  // namespace kvo::dialer
