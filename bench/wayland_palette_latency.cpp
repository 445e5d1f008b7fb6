// The Wayland figure of `make bench`: on a headless sway, the time from the compositor's
// binding running `tovalin --palette` (the only trigger Wayland allows) to sway reporting
// the palette's window as new, which it does once the first frame is committed. A native
// Qt text field of the tests' own holds a selection, so each showing reads PRIMARY first.
//   bench_wayland_palette TOVALIN_BINARY TEXT_FIELD_BINARY [--presses 40]
#include "headless_sway.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[qsizetype(p * double(values.size() - 1) + 0.5)];
}

bool run(const QProcessEnvironment& env, const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3)
        return 2;
    const int presses = arguments.size() > 4 && arguments[3] == "--presses" ? arguments[4].toInt() : 40;
    HeadlessSway sway;
    if (!sway.isRunning()) {
        std::printf("W1 palette on Wayland: skipped, sway cannot start here\n");
        return 0;
    }
    TempStateDir tmp;
    QProcessEnvironment env = sway.environment(tmp.root());
    env.insert("XDG_CONFIG_HOME", tmp.configHome());
    env.insert("XDG_STATE_HOME", tmp.stateHome());
    QProcess tovalin;
    tovalin.setProcessEnvironment(env);
    tovalin.start(arguments[1], {"--background"});
    QProcess field;
    field.setProcessEnvironment(env);
    field.start(arguments[2], {"some selected words"});
    if (!QTest::qWaitFor([&] { return sway.focused("tovalin-test-field"); }, 10000)
        || !run(env, "wtype", {"-k", "End", "-M", "shift", "-k", "Home", "-m", "shift"})) {
        std::printf("W1 palette on Wayland: skipped, the text field did not start\n");
        return 0;
    }
    QTest::qWait(1500); // Tovalin up and idle

    // sway's window events, one JSON object per line.
    QProcess events;
    events.setProcessEnvironment(env);
    events.start("swaymsg", {"-m", "-r", "-t", "subscribe", "[\"window\"]"});
    events.waitForStarted();
    QTest::qWait(200);
    auto seen = [&](const char* change) {
        return QTest::qWaitFor([&] {
            while (events.canReadLine()) {
                const QJsonObject event = QJsonDocument::fromJson(events.readLine()).object();
                if (event["change"].toString() == change
                    && event["container"].toObject()["app_id"].toString() == "tovalin-palette")
                    return true;
            }
            return false;
        }, 5000);
    };

    // One showing: trigger() starts it; the time to sway's "new" event, then Escape.
    auto measure = [&](const std::function<void()>& trigger, QList<double>& times) {
        QElapsedTimer clock;
        clock.start();
        trigger();
        if (!seen("new"))
            return false;
        times << double(clock.nsecsElapsed()) / 1e6;
        run(env, "wtype", {"-k", "Escape"});
        const bool closed = seen("close");
        QTest::qWait(150);
        return closed;
    };
    // As the binding does: the remote command, process start included.
    QList<double> viaCommand;
    QList<QProcess*> remotes;
    for (int i = 0; i < presses; ++i)
        if (!measure([&] {
                auto* remote = new QProcess(&app);
                remote->setProcessEnvironment(env);
                remote->start(arguments[1], {"--palette"});
                remotes << remote;
            }, viaCommand))
            break;
    // The request the remote command sends, written to Tovalin's socket directly.
    QList<double> viaSocket;
    QLocalSocket socket;
    for (int i = 0; i < presses; ++i)
        if (!measure([&] {
                socket.connectToServer(tmp.root() + "/tovalin/instance.sock");
                socket.waitForConnected(1000);
                socket.write("palette\n");
                socket.flush();
            }, viaSocket))
            break;
        else
            socket.abort();
    std::printf("W1 binding to palette on screen on headless sway (`tovalin --palette` started to sway's window "
                "\"new\" event, which follows the first committed frame): median %.2f ms, p95 %.2f ms (%lld presses)\n",
                percentile(viaCommand, 0.5), percentile(viaCommand, 0.95), qlonglong(viaCommand.size()));
    std::printf("W2 the same without starting the remote command (its request written to the socket): median %.2f ms, "
                "p95 %.2f ms (%lld presses)\n",
                percentile(viaSocket, 0.5), percentile(viaSocket, 0.95), qlonglong(viaSocket.size()));
    for (QProcess* remote : remotes)
        remote->waitForFinished(5000);
    events.kill();
    events.waitForFinished();
    field.kill();
    field.waitForFinished();
    tovalin.terminate();
    tovalin.waitForFinished(5000);
    return 0;
}
