#include "accessibility_permission_view.h"
#include "accessibility_service.h"
#include "ai_model_settings_sheet.h"
#include "fake_notification_server.h"
#include "fake_portal.h"
#include "inert_accessibility_backend.h"
#include "settings_view.h"
#include "temp_state_dir.h"
#include "window_fixture.h"
#include "portal/portal_keyboard.h"
#include "toggle_switch.h"
#include "typing_permission_row.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <functional>
#include <memory>

namespace {
using Edit = std::function<void(SettingsView&)>;
using Expect = std::function<void(AppSettings&)>;

struct Page {
    TempStateDir autostartHome; // the page reads whether the autostart entry is there
    WindowFixture f;
    std::unique_ptr<SettingsView> view = std::make_unique<SettingsView>(*f.state);
    explicit Page(QHash<QString, QByteArray> documents = {}) : f(std::nullopt, std::move(documents)) { view->show(); }
};

Edit toggle(const QString& label)
{
    return [label](SettingsView& view) {
        for (auto* t : view.findChildren<ToggleSwitch*>())
            if (t->accessibleName() == label)
                QTest::mouseClick(t, Qt::LeftButton);
    };
}

Edit slideTo(const char* name, bool right)
{
    return [name, right](SettingsView& view) {
        auto* slider = view.findChild<QSlider*>(name);
        slider->setFocus();
        QTest::keyClick(slider, right ? Qt::Key_End : Qt::Key_Home);
    };
}

// Trust that the test grants and withdraws; counts requests to open the desktop's settings.
struct SwitchableTrust : InertAccessibilityBackend {
    bool trusted = false;
    int settingsOpened = 0;
    bool isTrusted() override { return trusted; }
    void openAccessibilitySettings() override { ++settingsOpened; }
};

// A user clicking a link row, with the opened address captured instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};
} // namespace

class TestSettingsView : public QObject {
    Q_OBJECT
private slots:
    void eachControlWritesItsMember_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<Expect>("expect");
        const auto row = [](const char* name, Edit edit, Expect expect) { QTest::newRow(name) << edit << expect; };
        row("Theme", [](SettingsView& v) { v.findChild<QComboBox*>("themePicker")->setCurrentIndex(2); },
            [](AppSettings& s) { s.theme = AppTheme::dark; });
        row("Overlay Opacity, left end", slideTo("opacitySlider", false), [](AppSettings& s) { s.overlayOpacity = 0.5; });
        row("Overlay Width, right end", slideTo("widthSlider", true), [](AppSettings& s) { s.overlayWidth = 800; });
        row("Auto-close", toggle("Auto-close overlay after command"), [](AppSettings& s) { s.autoCloseOverlay = false; });
        row("Sound", toggle("Sound effects"), [](AppSettings& s) { s.soundEnabled = false; });
        row("Login", toggle("Launch at login"), [](AppSettings& s) { s.launchAtLogin = true; });
        row("Menu bar", toggle("Show in menu bar"), [](AppSettings& s) { s.showInMenuBar = false; });
        row("Typing", toggle("Type to filter or ask in the palette"), [](AppSettings& s) { s.typeToAskInPalette = false; });
        row("Clipboard", toggle("Restore clipboard after pasting"), [](AppSettings& s) { s.restoreClipboard = true; });
    }
    void eachControlWritesItsMember()
    {
        QFETCH(Edit, edit);
        QFETCH(Expect, expect);
        Page page;
        QCOMPARE(page.f.defaults.writes, 1); // the seeded command list; showing the page saves nothing
        edit(*page.view);
        AppSettings expected;
        expect(expected);
        QCOMPARE(page.f.state->settings(), expected);
        QCOMPARE(page.f.storedSettings(), std::optional(expected));
    }

    void wheelMovesAControlOnlyWhenItHasTheFocus()
    {
        for (const char* control : {"themePicker", "opacitySlider", "widthSlider"}) {
            Page page;
            page.view->resize(700, 300);
            page.view->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(page.view.get()));
            QScrollBar* bar = page.view->findChild<QScrollArea*>()->verticalScrollBar();
            auto* target = page.view->findChild<QWidget*>(control);
            const auto wheel = [target] {
                QWheelEvent event({5, 5}, target->mapToGlobal(QPointF(5, 5)), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QSpontaneKeyEvent::setSpontaneous(&event); // only the user's own wheel goes on to the page
                qApp->notify(target, &event);
            };
            const AppSettings before = page.f.state->settings();
            wheel(); // passing over it: the page scrolls
            QCOMPARE(page.f.state->settings(), before);
            QVERIFY2(bar->value() > 0, control);
            target->setFocus();
            wheel();
            QVERIFY2(page.f.state->settings() != before, control);
        }
    }

    void controlsFollowTheStoreAndTheSummaryNamesTheModel()
    {
        Page page;
        auto* summary = page.view->findChild<QLabel*>("providerSummary");
        QCOMPARE(summary->text(), QString("Tovalin (Default)"));
        AppSettings s = page.f.state->settings();
        s.aiProvider = AIProvider::claude;
        s.selectedModel = "claude-3-haiku-20240307";
        s.showInDock = false;
        page.f.state->setSettings(s);
        QCOMPARE(summary->text(), QString("Claude - claude-3-haiku-20240307"));
        const QStringList off{"Launch at login", "Restore clipboard after pasting"};
        QStringList shown;
        for (auto* t : page.view->findChildren<ToggleSwitch*>()) {
            QCOMPARE(t->isChecked(), !off.contains(t->accessibleName()));
            shown << t->accessibleName();
        }
        // Haptics and the Dock have no Linux counterpart: stored, not shown.
        QCOMPARE(shown, QStringList({"Auto-close overlay after command", "Sound effects",
                                     "Type to filter or ask in the palette", "Restore clipboard after pasting",
                                     "Launch at login", "Show in menu bar"}));

        QTest::mouseClick(page.view->findChild<QPushButton*>("configureButton"), Qt::LeftButton);
        QVERIFY(page.view->findChild<AIModelSettingsSheet*>());
    }

    void aboutLinksOpenTheBrowserAndMail()
    {
        Page page;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QDesktopServices::setUrlHandler("mailto", &catcher, "open");
        QTest::mouseClick(page.view->findChild<QPushButton*>("websiteRow"), Qt::LeftButton);
        QTest::mouseClick(page.view->findChild<QPushButton*>("supportRow"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls[0].scheme(), QString("https"));
        QCOMPARE(catcher.urls[1].scheme(), QString("mailto"));
    }

    void permissionRowFollowsTheCheck()
    {
        MemoryDefaultsStore defaults;
        auto backend = std::make_unique<SwitchableTrust>();
        SwitchableTrust* trust = backend.get();
        AccessibilityService accessibility(std::move(backend));
        AppState state({&defaults, nullptr, &accessibility, {}});
        trust->trusted = true;
        SettingsView view(state);
        view.show();
        auto* granted = view.findChild<QWidget*>("grantedLabel");
        auto* enable = view.findChild<QPushButton*>("enableButton");
        QVERIFY(granted->isVisible() && !enable->isVisible());

        trust->trusted = false; // withdrawn while the page was away
        view.hide();
        view.show();
        QVERIFY(!granted->isVisible() && enable->isVisible());
        QTest::mouseClick(enable, Qt::LeftButton);
        QCOMPARE(trust->settingsOpened, 1);
    }

    void typingPermissionAndAskAgain()
    {
        const struct { QString tokenBefore; int startResponse; QString before, after, tokenAfter; } cases[] = { // -1: no portal
            {"", 0, "Not asked yet", "Allowed", "token-new"},   // the first time
            {"token-old", 0, "Allowed", "Allowed", "token-new"},
            {"token-old", 1, "Allowed", "Refused", ""},         // refused this time
            {"", -1, "Not asked yet", "Portal missing", ""},
        };
        {
            // No portal keyboard, no row: the Accessibility row stays.
            Page plain;
            QVERIFY(!plain.view->findChild<TypingPermissionRow*>());
            QVERIFY(plain.view->findChild<QWidget*>("grantedLabel"));
        }
        for (const auto& c : cases) {
            PrivateSessionBus bus;
            if (bus.address().isEmpty())
                QSKIP("dbus-daemon could not be started");
            std::unique_ptr<FakePortal> portal;
            if (c.startResponse >= 0) {
                portal = std::make_unique<FakePortal>(bus.address());
                portal->answer("Start", uint(c.startResponse), {{"devices", 1u}, {"restore_token", "token-new"}});
            }
            QTemporaryDir dir;
            const QString tokenFile = dir.filePath("remote-desktop-token");
            if (!c.tokenBefore.isEmpty()) {
                QFile file(tokenFile);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(c.tokenBefore.toUtf8());
            }
            PortalKeyboard keyboard(QDBusConnection::connectToBus(bus.address(), QStringLiteral("keyboard-%1").arg(&c - cases)), tokenFile,
                                    std::chrono::milliseconds(1000));
            Page page;
            auto* row = page.view->findChild<TypingPermissionRow*>();
            QVERIFY(row && row->isVisible());
            QVERIFY(!page.view->findChild<QWidget*>("grantedLabel"));
            QCOMPARE(row->stateText(), c.before);

            QTest::mouseClick(row->askAgainButton(), Qt::LeftButton);
            QVERIFY2(QTest::qWaitFor([&] { return row->stateText() == c.after && (!portal || portal->members().contains("Start")); },
                                     3000),
                     qPrintable(row->stateText()));
            QCOMPARE(QFile::exists(tokenFile), !c.tokenAfter.isEmpty());
            // Refused, the window shows why in place of the tabs, with the same way back.
            QCOMPARE(AccessibilityPermissionView::reason("wayland").contains("\"Ask Again\""), c.after == "Refused");
            if (!portal)
                continue;
            // The remembered answer was forgotten: a new request, without the old token.
            QCOMPARE(portal->members().count("Start"), 1);
            QVERIFY(!portal->lastOptions("SelectDevices").contains("restore_token"));
            QFile saved(tokenFile);
            QCOMPARE(saved.open(QIODevice::ReadOnly) ? QString::fromUtf8(saved.readAll()) : QString(), c.tokenAfter);
        }
    }

    void unreadableSettingsNotice()
    {
        QVERIFY(!Page().view->findChild<QLabel*>("unreadableSettingsNotice"));
        Page page({{AppState::settingsKey, "{\"aiProvider\": \"openai\""}});
        auto* notice = page.view->findChild<QLabel*>("unreadableSettingsNotice");
        QVERIFY(notice && notice->isVisible());
        QVERIFY(notice->toolTip().contains("offset"));
    }
};

QTEST_MAIN(TestSettingsView)
#include "test_settings_view.moc"
