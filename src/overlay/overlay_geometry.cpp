#include "overlay_geometry.h"

#include <algorithm>
#include <cmath>

QRect overlayGeometry(QSize fitting, QRect available)
{
    const int width = std::min(std::max(fitting.width(), kOverlayMinimumWidth), available.width());
    const int height = std::min(fitting.height(), available.height());
    // QRect::center() rounds; the placement needs the exact middle.
    const double midX = available.x() + available.width() / 2.0;
    const double bottom = available.y() + available.height() * 0.45;
    const int top = std::clamp(int(std::lround(bottom - height)), available.top(),
                               available.top() + available.height() - height);
    return {int(std::lround(midX - width / 2.0)), top, width, height};
}

int overlayMaximumHeight(int availableHeight)
{
    // Room above and below, so the palette still reads as floating over the desktop.
    return std::max(availableHeight * 17 / 20, 1);
}
