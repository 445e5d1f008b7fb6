#pragma once

#include <QColor>
#include <QPalette>

// The three roles the palette is drawn in, taken from the widget palette so that light
// and dark themes both work: accent (selection), primary (text), secondary (quiet text
// and tints, already partly transparent in most themes).
struct OverlayColors {
    QColor accent;
    QColor primary;
    QColor secondary;

    static OverlayColors from(const QPalette& palette)
    {
        return {palette.color(QPalette::Highlight), palette.color(QPalette::WindowText),
                palette.color(QPalette::PlaceholderText)};
    }

    // Opacity multiplies whatever alpha the colour already has.
    static QColor withOpacity(QColor color, qreal opacity)
    {
        color.setAlphaF(float(color.alphaF() * opacity));
        return color;
    }
};
