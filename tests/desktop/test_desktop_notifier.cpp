#include "desktop_notifier.h"
#include "fake_notification_server.h"

#include <QSignalSpy>
#include <QTest>

class TestDesktopNotifier : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateSessionBus> bus;

private slots:
    void initTestCase()
    {
        bus = std::make_unique<PrivateSessionBus>();
        QVERIFY2(!bus->address().isEmpty(), "dbus-daemon did not start");
        // Before anything asks for the session bus, so the notifier meets this one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8());
    }

    void aServiceIsToldOtherwiseTheFallbackIsUsed()
    {
        for (const bool serviceRuns : {true, false}) {
            std::unique_ptr<FakeNotificationServer> server;
            if (serviceRuns) {
                server = std::make_unique<FakeNotificationServer>(bus->address());
                QVERIFY(server->isRegistered());
            }
            DesktopNotifier notifier;
            QStringList fallback;
            notifier.setFallback([&](const QString& summary, const QString& body, const auto&) {
                fallback << summary + "|" + body;
            });
            QSignalSpy fellBack(&notifier, &DesktopNotifier::fellBack);
            notifier.notify("Fix Grammar & Spelling failed", "Cannot connect to Ollama.");
            if (serviceRuns) {
                QTRY_COMPARE(server->calls().size(), 1);
                QCOMPARE(server->calls()[0].appName, QStringLiteral("Tovalin"));
                QCOMPARE(server->calls()[0].summary, QStringLiteral("Fix Grammar & Spelling failed"));
                QCOMPARE(server->calls()[0].body, QStringLiteral("Cannot connect to Ollama."));
                QTest::qWait(50);
                QVERIFY(fallback.isEmpty() && fellBack.isEmpty());
            } else {
                QTRY_COMPARE(fellBack.size(), 1);
                QCOMPARE(fallback, QStringList{"Fix Grammar & Spelling failed|Cannot connect to Ollama."});
            }
        }
    }

    void aButtonRunsItsActionOnce()
    {
        FakeNotificationServer server(bus->address());
        QVERIFY(server.isRegistered());
        DesktopNotifier notifier;
        int opened = 0;
        notifier.notify("Fix Grammar & Spelling failed", "Invalid API key. Please check your settings.",
                        DesktopNotifier::Action{"open-ai-settings", "Open AI Settings", [&] { ++opened; }});
        notifier.notify("No text selected", "Select some text first");
        QTRY_COMPARE(server.calls().size(), 2);
        QCOMPARE(server.calls()[0].actions, (QStringList{"default", "Open AI Settings", "open-ai-settings", "Open AI Settings"}));
        QVERIFY(server.calls()[1].actions.isEmpty());
        QTest::qWait(50); // the reply with the notification's id
        server.invokeAction(server.calls()[1].id, "open-ai-settings"); // not this one's button
        server.invokeAction(server.calls()[0].id, "open-ai-settings");
        QTRY_COMPARE(opened, 1);
        server.invokeAction(server.calls()[0].id, "default");
        QTest::qWait(100);
        QCOMPARE(opened, 1);
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "test_desktop_notifier.moc"
