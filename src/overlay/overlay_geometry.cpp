#include "overlay_geometry.h"

#include <algorithm>
#include <cmath>

QRect overlayGeometry(QSize fitting, QRect available)
{
    const int width = std::max(fitting.width(), kOverlayMinimumWidth);
    const int height = fitting.height();
    // QRect::center() rounds; the placement needs the exact middle.
    const double midX = available.x() + available.width() / 2.0;
    const double bottom = available.y() + available.height() * 0.45;
    return {int(std::lround(midX - width / 2.0)), int(std::lround(bottom - height)), width, height};
}
