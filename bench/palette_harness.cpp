// Shows the palette with the seven default commands on a real display, for looking at it
// and for screenshots. Run it by hand.
//   palette_harness [--translucent] [--dark] [--down N] [--seconds S] [--cycles N] [--warm]
//                   [--composite FILE]
#include "app_state.h"
#include "fake_services.h"
#include "memory_defaults_store.h"
#include "overlay_panel.h"
#include "overlay_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"translucent", "Draw for a compositor."},
                       {"dark", "Use a dark palette."},
                       {"down", "Press Down this many times.", "n", "0"},
                       {"seconds", "Quit after this long.", "s", "30"},
                       {"cycles", "Show and hide this many times.", "n", "0"},
                       {"warm", "Warm the panel up before the first showing."},
                       {"composite", "Save the palette blended over the screen.", "file"}});
    parser.process(app);
    QTextStream out(stdout);

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (parser.isSet("dark")) {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(40, 40, 42));
        dark.setColor(QPalette::WindowText, QColor(236, 236, 236));
        dark.setColor(QPalette::Text, QColor(236, 236, 236));
        dark.setColor(QPalette::PlaceholderText, QColor(236, 236, 236, 128));
        dark.setColor(QPalette::Highlight, QColor(10, 132, 255));
        QApplication::setPalette(dark);
    }

    MemoryDefaultsStore defaults;
    FakeSelectionAccess access;
    access.selection = QStringLiteral("Ths sentense has erors.");
    auto script = std::make_shared<FakeAIService::Script>();
    script->answer = QStringLiteral("This sentence has errors.");
    AppState state({&defaults, nullptr, &access, [script](const AppSettings&) {
                        return std::make_unique<FakeAIService>(script);
                    }});
    access.onPaste = [&] { out << "pasted: " << access.pasted.last() << Qt::endl; };

    OverlayPanel panel(state);
    panel.setTranslucent(parser.isSet("translucent"));
    QElapsedTimer clock;
    QObject::connect(&panel, &OverlayPanel::shown, [&] {
        out << "shown after " << clock.nsecsElapsed() / 1000 << " us, geometry " << panel.x() << ","
            << panel.y() << " " << panel.width() << "x" << panel.height() << Qt::endl;
    });
    QObject::connect(&panel, &OverlayPanel::hidden, [&] { out << "hidden" << Qt::endl; });
    QObject::connect(&state, &AppState::isOverlayVisibleChanged,
                     [&] { out << "isOverlayVisible " << state.isOverlayVisible() << Qt::endl; });

    auto showOnce = [&](int downs) -> QCoro::Task<> {
        co_await state.openOverlay();
        clock.start();
        panel.showOverlay();
        for (int i = 0; i < downs; ++i)
            QCoreApplication::postEvent(panel.view(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
    };
    // --cycles: show and hide again and again, to time showings after the first.
    int cycles = parser.value("cycles").toInt();
    if (cycles > 0) {
        QObject::connect(&panel, &OverlayPanel::shown, [&] {
            QTimer::singleShot(150, &panel, &OverlayPanel::hideOverlay);
        });
        QObject::connect(&panel, &OverlayPanel::hidden, [&] {
            if (--cycles > 0)
                QTimer::singleShot(100, [&] { showOnce(0); });
        });
    }
    // --composite: with no compositor on the display, blend the palette over a grab of the
    // screen the way one would, to look at the translucent drawing.
    if (parser.isSet("composite")) {
        const QString file = parser.value("composite");
        const QImage backdrop = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
        QObject::connect(&panel, &OverlayPanel::shown, [&panel, file, backdrop] {
            QImage screen = backdrop;
            QImage layer(panel.size(), QImage::Format_ARGB32_Premultiplied);
            layer.fill(Qt::transparent);
            panel.view()->render(&layer);
            QPainter painter(&screen);
            painter.drawImage(panel.pos(), layer);
            painter.end();
            screen.save(file);
        });
    }
    if (parser.isSet("warm")) {
        QElapsedTimer warm;
        warm.start();
        panel.warmUp();
        out << "warm-up took " << warm.nsecsElapsed() / 1000 << " us" << Qt::endl;
    }
    showOnce(parser.value("down").toInt());

    QTimer::singleShot(parser.value("seconds").toInt() * 1000, &app, &QApplication::quit);
    return app.exec();
}
