#pragma once

#include <QMargins>

class QPainter;
class QRect;

// The soft drop shadow under the palette's rounded rectangle: black at 0.25, blur 20,
// 5 px down. It is drawn as a nine-patch cut from one small blurred tile made once per
// process, so its cost does not grow with the palette and nothing is blurred per paint.
class OverlayShadow {
public:
    static constexpr int blurRadius = 20;
    static constexpr int offsetY = 5;
    static constexpr qreal opacity = 0.25;

    // Room the shadow needs around the shape it falls from.
    static QMargins margins();
    // Draws the shadow of a rounded rectangle (corner radius up to 10) at shapeRect.
    static void paint(QPainter& painter, const QRect& shapeRect);
};
