#include "api_key_migration.h"
#include "app_state.h"
#include "fake_http_server.h"
#include "fake_notification_server.h"
#include "json_codec.h"
#include "keychain_key_store.h"
#include "memory_defaults_store.h"
#include "provider_factory.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {
// A store with these settings in its document, as a start finds them.
struct Start {
    MemoryDefaultsStore defaults;
    std::unique_ptr<AppState> state;
    explicit Start(const AppSettings& settings)
    {
        defaults.values.insert(AppState::settingsKey, JsonCodec::encodeSettingsDocument(settings));
        state = std::make_unique<AppState>(AppState::Services{&defaults, nullptr, nullptr, {}});
    }
    QJsonObject document() const
    {
        return QJsonDocument::fromJson(defaults.values.value(AppState::settingsKey)).object();
    }
};

// Moves the file's keys, as a start does, and waits for the pass.
void migrate(AppState& state, KeychainKeyStore& keys)
{
    ApiKeyMigration migration(state, keys);
    QSignalSpy passed(&migration, &ApiKeyMigration::passFinished);
    migration.start();
    QVERIFY(passed.wait(15000));
}

// A run of the OpenAI-compatible provider against `server`, with the key the run finds.
QByteArray authorizationSent(const AppSettings& stored, ApiKeyStore& keys, FakeHttpServer& server)
{
    AppSettings settings = stored;
    settings.aiProvider = AIProvider::custom;
    settings.customBaseURL = server.baseUrl() + "/v1";
    settings.selectedModel = "local";
    server.requests.clear();
    [](AppSettings settings, ApiKeyStore* keys) -> QCoro::Task<> {
        try {
            co_await makeRunService(settings, keys)->processText("Fix", "text");
        } catch (...) {
        }
    }(settings, &keys);
    if (!QTest::qWaitFor([&] { return !server.requests.isEmpty(); }, 10000))
        return "(nothing sent)";
    return server.requests.first().headers.value("authorization", "(none)");
}
} // namespace

class TestApiKeys : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateSessionBus> bus;
    QTemporaryDir home;
    QProcess keyring;
    std::unique_ptr<FakeHttpServer> server;

    AppSettings withKeys() const
    {
        AppSettings settings;
        settings.openaiApiKey = "sk-openai";
        settings.customApiKey = "ck-local";
        return settings;
    }

private slots:
    void initTestCase()
    {
        bus = std::make_unique<PrivateSessionBus>();
        QVERIFY2(!bus->address().isEmpty(), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8());
        server = std::make_unique<FakeHttpServer>([](const RecordedRequest&) {
            return ScriptedResponse{200, R"({"choices":[{"message":{"content":"ok"}}]})"};
        });
    }

    void withoutAKeyringTheFileKeepsTheKeys()
    {
        KeychainKeyStore keys;
        Start start(withKeys());
        migrate(*start.state, keys);
        QCOMPARE(keys.location(), ApiKeyStore::Location::file);
        QCOMPARE(start.document().value("openaiApiKey").toString(), QStringLiteral("sk-openai"));
        QCOMPARE(authorizationSent(start.state->settings(), keys, *server), QByteArray("Bearer ck-local"));
    }

    void startTheKeyring()
    {
        QDir(home.path()).mkpath("run");
        QFile::setPermissions(home.filePath("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus->address());
        keyring.setProcessEnvironment(env);
        // --unlock reads the password of a new login keyring from standard input.
        keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
        if (!keyring.waitForStarted(5000))
            QSKIP("gnome-keyring-daemon cannot start (install gnome-keyring)");
        keyring.write("test password");
        keyring.closeWriteChannel();
        const bool up = QTest::qWaitFor(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.secrets"); },
            10000);
        if (!up)
            QSKIP(qPrintable("gnome-keyring-daemon did not come up: " + keyring.readAllStandardError()));
    }

    void keysMoveIntoTheKeyringAndRunsReadThem()
    {
        if (keyring.state() != QProcess::Running)
            QSKIP("no keyring");
        KeychainKeyStore keys;
        Start start(withKeys());
        migrate(*start.state, keys);
        QCOMPARE(keys.location(), ApiKeyStore::Location::keyring);
        // The members stay, empty, for older versions.
        const QJsonObject document = start.document();
        QVERIFY(document.contains("openaiApiKey") && document.contains("customApiKey"));
        QCOMPARE(document.value("openaiApiKey").toString(), QString());
        QCOMPARE(document.value("customApiKey").toString(), QString());
        QCOMPARE(QCoro::waitFor(keys.read(AIProvider::openai, 5s)).key, QStringLiteral("sk-openai"));

        QProcess search;
        search.start("secret-tool", {"search", "--all", "user", "customApiKey"});
        if (search.waitForFinished(5000) && search.exitCode() == 0)
            QVERIFY(search.readAll().contains("label = Tovalin: OpenAI-compatible API key"));

        // The next start finds the key in the keyring, not in the file.
        Start next(start.state->settings());
        QCOMPARE(authorizationSent(next.state->settings(), keys, *server), QByteArray("Bearer ck-local"));

        // A key saved later moves too; a cleared one is forgotten.
        AppSettings settings = next.state->settings();
        settings.customApiKey = "ck-new";
        ApiKeyMigration migration(*next.state, keys);
        QSignalSpy passed(&migration, &ApiKeyMigration::passFinished);
        migration.start();
        QVERIFY(passed.wait(15000));
        next.state->setSettings(settings);
        QVERIFY(passed.wait(15000));
        QCOMPARE(next.document().value("customApiKey").toString(), QString());
        QCOMPARE(QCoro::waitFor(keys.read(AIProvider::custom, 5s)).key, QStringLiteral("ck-new"));
        QVERIFY(QCoro::waitFor(keys.write(AIProvider::custom, QString())));
        QCOMPARE(QCoro::waitFor(keys.read(AIProvider::custom, 5s)).status, ApiKeyStore::Lookup::Status::missing);
        QCOMPARE(authorizationSent(next.state->settings(), keys, *server), QByteArray("(none)"));
    }

    // Last: nothing unlocks the keyring again without a prompt.
    void aLockedKeyringLeavesTheKeysInTheFile()
    {
        if (keyring.state() != QProcess::Running)
            QSKIP("no keyring");
        KeychainKeyStore keys;
        QCoro::waitFor(keys.probe());
        QVERIFY(QCoro::waitFor(keys.write(AIProvider::openai, "sk-before-lock")));
        QDBusMessage lock = QDBusMessage::createMethodCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                                                           "org.freedesktop.Secret.Service", "Lock");
        lock << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")});
        QVERIFY(QDBusConnection::sessionBus().call(lock).type() == QDBusMessage::ReplyMessage);

        // The private bus has no prompter, as if the user declined to unlock.
        AppSettings settings;
        settings.claudeApiKey = "sk-claude";
        Start start(settings);
        migrate(*start.state, keys);
        QCOMPARE(keys.location(), ApiKeyStore::Location::fileLocked);
        QCOMPARE(start.document().value("claudeApiKey").toString(), QStringLiteral("sk-claude"));
        // A run that needs the locked key says why, and is over within its time-out.
        const auto lookup = QCoro::waitFor(keys.read(AIProvider::openai, 3s));
        QCOMPARE(lookup.status, ApiKeyStore::Lookup::Status::unreadable);
        QVERIFY(!lookup.error.isEmpty());
    }

    void cleanupTestCase()
    {
        keyring.terminate();
        keyring.waitForFinished(3000);
    }
};

QTEST_GUILESS_MAIN(TestApiKeys)
#include "test_api_keys.moc"
