#pragma once

#include <QChar>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>

class QPainter;
class QRectF;

// Draws the symbols the product names ("house", "gear", "globe.americas", ...) with glyphs
// of the Material Icons font, tinted in any colour. The font is registered on first use,
// so a process that never draws a symbol never loads it.
class SymbolIcon {
public:
    static constexpr auto fontPath =
        "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

    // Whether the table has a glyph of its own for the name.
    static bool isKnown(const QString& name);
    // The glyph for a name; unknown names get a neutral ring.
    static QChar glyph(const QString& name);

    // Registers the font once per process. False when it cannot be loaded; the
    // painters then draw a plain ring so layouts keep their shape.
    static bool ensureFontLoaded();
    // The icon font at a pixel size (needs ensureFontLoaded() to have succeeded).
    static QFont font(qreal pixelSize);

    // Draws the symbol centred in rect, its em box pixelSize pixels high.
    static void paint(QPainter& painter, const QRectF& rect, const QString& name,
                      const QColor& color, qreal pixelSize);

    // An icon drawn at whatever size is asked for, for the tray and the window.
    // Disabled mode draws the same glyph faded.
    static QIcon icon(const QString& name, const QColor& color);
    // The same in the colour colorNow gives at each paint, so the icon can follow a theme.
    static QIcon icon(const QString& name, std::function<QColor()> colorNow);
};
