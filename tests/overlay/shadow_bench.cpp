// Times one paint of the palette with its shadow drawn two ways: the view's own nine-patch
// shadow, and QGraphicsDropShadowEffect over an opaque view. Run by hand, offscreen.
#include "overlay_fixture.h"
#include "overlay_view.h"
#include "command_library.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QTextStream>
#include <algorithm>

namespace {
double medianMicros(QWidget& widget, int rounds)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    QList<qint64> times;
    for (int i = 0; i < rounds; ++i) {
        image.fill(Qt::transparent);
        QElapsedTimer t;
        t.start();
        widget.render(&image);
        times.append(t.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2] / 1000.0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    OverlayFixture f(defaultCommands());
    const int rounds = 300;

    OverlayView own(*f.state);
    own.setTranslucent(true);
    own.resize(own.sizeHint());
    QImage first(own.size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer t;
    t.start();
    own.render(&first); // builds the shadow tile once
    const double firstOwn = t.nsecsElapsed() / 1000.0;

    QWidget holder;
    holder.resize(own.size());
    OverlayView plain(*f.state, &holder);
    plain.setGeometry(own.paletteRect());
    auto* effect = new QGraphicsDropShadowEffect;
    effect->setBlurRadius(20);
    effect->setOffset(0, 5);
    effect->setColor(QColor(0, 0, 0, 64));
    plain.setGraphicsEffect(effect);

    OverlayView bare(*f.state);
    bare.resize(own.paletteRect().size());

    QTextStream(stdout) << "palette " << own.paletteRect().width() << "x" << own.paletteRect().height()
                        << ", median of " << rounds << " paints\n"
                        << "  own nine-patch shadow:      " << medianMicros(own, rounds) << " us (first "
                        << firstOwn << " us)\n"
                        << "  QGraphicsDropShadowEffect:  " << medianMicros(holder, rounds) << " us\n"
                        << "  no shadow:                  " << medianMicros(bare, rounds) << " us\n";
    return 0;
}
