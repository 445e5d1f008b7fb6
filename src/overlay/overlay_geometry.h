#pragma once

#include <QRect>
#include <QSize>

// Narrowest the palette is ever shown, whatever its rows need.
inline constexpr int kOverlayMinimumWidth = 280;

// Where the palette goes on a screen's available area (y pointing down): centred
// horizontally, at least kOverlayMinimumWidth wide, its bottom edge 5 % of the area's
// height above the area's middle, so that it grows upwards from just above the centre.
// It never leaves the area: a palette too tall to grow upwards is moved down.
QRect overlayGeometry(QSize fitting, QRect available);

// The tallest the palette's list may be on an area of that height; longer lists scroll.
int overlayMaximumHeight(int availableHeight);
