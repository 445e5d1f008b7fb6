#include "accessibility_service.h"
#include "accessibility_settings_command.h"
#include "console_capture.h"
#include "hotkey_service.h"
#include "platform_backends.h"

#include <QCoro/QCoroTask>
#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

class TestPlatformBackends : public QObject {
    Q_OBJECT
private slots:
    void withoutX11HotkeysAreRefusedWithALine();
    void withoutX11NothingIsSelectedButTheClipboardWorks();
    void settingsCommand_data();
    void settingsCommand();
};

void TestPlatformBackends::withoutX11HotkeysAreRefusedWithALine()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    ConsoleCapture console;
    HotkeyService service(makeHotkeyBackend());
    QVERIFY(!service.registerOverlayHotkey(49, 0x120000, [] {}));
    QCOMPARE(service.registerCommandHotkey(40, 0xC0000, [] {}), std::nullopt);
    QCOMPARE(console.lines, (QStringList{QStringLiteral("Failed to install event handler: -1"),
                                         QStringLiteral("Failed to install event handler: -1")}));
}

void TestPlatformBackends::withoutX11NothingIsSelectedButTheClipboardWorks()
{
    ConsoleCapture console;
    AccessibilityService service(makeAccessibilityBackend());
    QVERIFY(!service.checkPermission());
    bool done = false;
    std::optional<QString> text = QStringLiteral("unset");
    [](AccessibilityService& s, bool& d, std::optional<QString>& t) -> QCoro::Task<> {
        t = co_await s.getSelectedText();
        d = true;
    }(service, done, text);
    QTRY_VERIFY(done);
    QCOMPARE(text, std::nullopt);
    QCOMPARE(console.lines, QStringList{QStringLiteral("Accessibility permission not granted")});

    service.pasteText(QStringLiteral("abc"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("abc"));
    QTest::qWait(100); // the deferred paste has nowhere to go and must not crash
    service.openAccessibilitySettings();
}

void TestPlatformBackends::settingsCommand_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("command");
    const QStringList all{QStringLiteral("gnome-control-center"), QStringLiteral("systemsettings"),
                          QStringLiteral("xfce4-accessibility-settings")};
    QTest::newRow("Ubuntu's list") << QStringLiteral("ubuntu:GNOME") << all
                                   << QStringList{QStringLiteral("/usr/bin/gnome-control-center"),
                                                  QStringLiteral("universal-access")};
    QTest::newRow("XFCE, no argument") << QStringLiteral("XFCE") << all
                                       << QStringList{QStringLiteral("/usr/bin/xfce4-accessibility-settings")};
    QTest::newRow("GNOME without its tool") << QStringLiteral("GNOME") << QStringList{} << QStringList{};
    QTest::newRow("unknown desktop") << QStringLiteral("openbox") << all << QStringList{};
}

void TestPlatformBackends::settingsCommand()
{
    QFETCH(QString, desktop);
    QFETCH(QStringList, installed);
    QFETCH(QStringList, command);
    const auto find = [&](const QString& program) {
        return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
    };
    const std::optional<QStringList> result = accessibilitySettingsCommand(desktop, find);
    QCOMPARE(result.value_or(QStringList{}), command);
}

QTEST_MAIN(TestPlatformBackends)
#include "test_platform_backends.moc"
