#include "overlay_shadow.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <qdrawutil.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The blur is a Gaussian of sigma blurRadius / 2, approximated by three box passes;
// its visible reach is about 2.4 sigma.
constexpr int kSigma = OverlayShadow::blurRadius / 2;
constexpr int kReach = kSigma * 12 / 5;
constexpr int kCornerRadius = 10;
// Each nine-patch border covers the corner arc plus the blur's reach on both sides of the
// outline; between them the tile's edge profile no longer depends on the corners, and
// that middle is what gets stretched.
constexpr int kEdge = kReach + kCornerRadius + kReach;
constexpr int kTileShape = 2 * (kCornerRadius + kReach) + 1;
constexpr int kTileSize = kTileShape + 2 * kReach;

void boxBlurAlpha(QImage& image, int radius)
{
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(std::max(w, h));
    auto pass = [&](int count, int length, auto at) {
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < length; ++j)
                line[j] = qAlpha(*at(i, j));
            int sum = 0;
            for (int k = -radius; k <= radius; ++k)
                sum += (k >= 0 && k < length) ? line[k] : 0;
            for (int j = 0; j < length; ++j) {
                // Premultiplied black: the colour channels stay zero.
                *at(i, j) = qRgba(0, 0, 0, sum / (2 * radius + 1));
                const int out = j - radius;
                const int in = j + radius + 1;
                sum += (in < length ? line[in] : 0) - (out >= 0 ? line[out] : 0);
            }
        }
    };
    auto pixel = [&](int x, int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)) + x; };
    for (int round = 0; round < 3; ++round) {
        pass(h, w, [&](int y, int x) { return pixel(x, y); });
        pass(w, h, [&](int x, int y) { return pixel(x, y); });
    }
}

const QPixmap& shadowTile()
{
    static const QPixmap tile = [] {
        QImage image(kTileSize, kTileSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, int(std::lround(255 * OverlayShadow::opacity))));
            p.drawRoundedRect(QRectF(kReach, kReach, kTileShape, kTileShape), kCornerRadius,
                              kCornerRadius);
        }
        // Three boxes of width 2r+1 give a variance of about sigma squared.
        const int r = int(std::lround((std::sqrt(4.0 * kSigma * kSigma + 1) - 1) / 2));
        boxBlurAlpha(image, r);
        return QPixmap::fromImage(image);
    }();
    return tile;
}

} // namespace

QMargins OverlayShadow::margins()
{
    return {kReach, kReach - offsetY, kReach, kReach + offsetY};
}

// Timed offscreen on a 280x278 palette: ~1.2 ms a paint, QGraphicsDropShadowEffect ~2.6-3.8 ms.
void OverlayShadow::paint(QPainter& painter, const QRect& shapeRect)
{
    const QRect target = shapeRect.adjusted(-kReach, -kReach + offsetY, kReach, kReach + offsetY);
    // A palette smaller than two borders (no rows, one row) squeezes the corners a little
    // instead of letting the patches overlap.
    const int x = std::min(kEdge, target.width() / 2);
    const int y = std::min(kEdge, target.height() / 2);
    const QPixmap& tile = shadowTile();
    qDrawBorderPixmap(&painter, target, QMargins(x, y, x, y), tile, tile.rect(),
                      QMargins(kEdge, kEdge, kEdge, kEdge));
}
