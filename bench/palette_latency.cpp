// Time from the palette hotkey's key press reaching Tovalin to the palette's first
// paint, in the common case: the active window owns the PRIMARY selection.
// Run under an X server with a window manager: bench/run-palette-latency.sh.
#include "accessibility_service.h"
#include "app_state.h"
#include "hotkey_service.h"
#include "overlay_panel.h"
#include "platform_backends.h"

#include <QApplication>
#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {
class MemoryDefaults : public DefaultsStore {
public:
    std::optional<QByteArray> data(const QString&) override { return std::nullopt; }
    bool setData(const QString&, const QByteArray&) override { return true; }
};

// Notes when each press arrives from the X server, before the service queues its action.
class TimingHotkeyBackend : public HotkeyBackend {
public:
    TimingHotkeyBackend(std::unique_ptr<HotkeyBackend> inner, QElapsedTimer& clock, qint64& pressedAtNs)
        : m_inner(std::move(inner)), m_clock(clock), m_pressedAtNs(pressedAtNs) {}
    Status installHandler(PressHandler onPressed) override
    {
        return m_inner->installHandler([this, onPressed](uint32_t id) {
            m_pressedAtNs = m_clock.nsecsElapsed();
            onPressed(id);
        });
    }
    Registration registerHotkey(uint32_t keyCode, uint32_t mask, uint32_t id) override
    {
        return m_inner->registerHotkey(keyCode, mask, id);
    }
    void unregisterHotkey(HotkeyRef ref) override { m_inner->unregisterHotkey(ref); }
    void removeHandler() override { m_inner->removeHandler(); }

private:
    std::unique_ptr<HotkeyBackend> m_inner;
    QElapsedTimer& m_clock;
    qint64& m_pressedAtNs;
};

QCoro::Task<> pause(int ms)
{
    QTimer t;
    t.setSingleShot(true);
    t.start(ms);
    co_await qCoro(&t, &QTimer::timeout);
}

QCoro::Task<int> run(int rounds)
{
    QElapsedTimer clock;
    clock.start();
    qint64 pressedAtNs = 0;
    MemoryDefaults defaults;
    HotkeyService hotkeys(std::make_unique<TimingHotkeyBackend>(makeHotkeyBackend(), clock, pressedAtNs));
    AccessibilityService accessibility(makeAccessibilityBackend());
    AppState state({&defaults, &hotkeys, &accessibility, {}});
    OverlayPanel panel(state);
    panel.warmUp();

    QProcess field;
    field.start(QStringLiteral("yad"), {QStringLiteral("--entry"), QStringLiteral("--title"),
                                        QStringLiteral("latency-field"), QStringLiteral("--entry-text"),
                                        QStringLiteral("some selected words")});
    co_await pause(1500);
    QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
        QStringLiteral("xdotool search --name latency-field | head -1 | xargs -r xdotool windowactivate --sync")});
    co_await pause(300);

    qint64 readAtNs = 0;
    const bool registered = hotkeys.registerOverlayHotkey(49, 0x120000, [&] {
        [](AppState& s, OverlayPanel& p, QElapsedTimer& clock, qint64& readAtNs) -> QCoro::Task<> {
            co_await s.openOverlay();
            readAtNs = clock.nsecsElapsed();
            p.showOverlay();
        }(state, panel, clock, readAtNs);
    });
    if (!registered) {
        std::fprintf(stderr, "could not grab Super+Shift+Space\n");
        co_return 1;
    }

    QList<double> ms, readMs;
    QString textRead;
    for (int i = 0; i < rounds; ++i) {
        QProcess::startDetached(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("super+shift+space")});
        co_await qCoro(&panel, &OverlayPanel::shown);
        ms.append(double(clock.nsecsElapsed() - pressedAtNs) / 1e6);
        readMs.append(double(readAtNs - pressedAtNs) / 1e6);
        textRead = state.selectedText();
        panel.hideOverlay();
        co_await qCoro(&panel, &OverlayPanel::hidden);
        co_await pause(100);
    }
    field.kill();
    field.waitForFinished();
    hotkeys.unregisterAll();

    const auto print = [](const char* what, QList<double> ms) {
        std::sort(ms.begin(), ms.end());
        const double p95 = ms[std::min<qsizetype>(ms.size() - 1, qsizetype(ms.size() * 0.95))];
        std::printf("%s after the key press: median %.2f ms, p95 %.2f ms, max %.2f ms (%d presses)\n", what,
                    ms[ms.size() / 2], p95, ms.last(), int(ms.size()));
    };
    print("selection read", readMs);
    print("palette painted", ms);
    std::printf("selected text read: \"%s\"\n", qPrintable(textRead));
    co_return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int rc = 1;
    QTimer::singleShot(0, [&] {
        [](int& rc) -> QCoro::Task<> {
            rc = co_await run(40);
            QCoreApplication::quit();
        }(rc);
    });
    app.exec();
    return rc;
}
