#include "api_key_migration.h"

#include "app_state.h"
#include "console.h"
#include "keychain_key_store.h"

#include <QPointer>

ApiKeyMigration::ApiKeyMigration(AppState& appState, KeychainKeyStore& keys, QObject* parent)
    : QObject(parent), m_appState(appState), m_keys(keys)
{
}

QStringList ApiKeyMigration::keysIn(const AppSettings& settings)
{
    QStringList keys;
    for (AIProvider provider : keyedProviders)
        keys << apiKeyIn(settings, provider);
    return keys;
}

QCoro::Task<> ApiKeyMigration::start()
{
    QPointer<ApiKeyMigration> self(this);
    co_await m_keys.probe();
    if (!self)
        co_return;
    // Settings are saved on every slider step: only a changed key is worth asking the
    // keyring again (and maybe raising its unlock prompt).
    connect(&m_appState, &AppState::settingsChanged, this, [this] {
        if (keysIn(m_appState.settings()) != m_lastTried)
            move();
    });
    co_await move();
}

QCoro::Task<> ApiKeyMigration::move()
{
    if (m_moving) {
        m_again = true;
        co_return;
    }
    QPointer<ApiKeyMigration> self(this);
    m_moving = true;
    do {
        m_again = false;
        m_lastTried = keysIn(m_appState.settings());
        if (m_keys.location() == ApiKeyStore::Location::file)
            break;
        for (AIProvider provider : keyedProviders) {
            const QString key = apiKeyIn(m_appState.settings(), provider);
            if (key.isEmpty())
                continue;
            const bool kept = co_await m_keys.write(provider, key);
            if (!self)
                co_return;
            if (!kept) {
                Console::line(QStringLiteral("The keyring did not take the %1 API key; it stays in the settings file")
                                  .arg(displayName(provider)));
                break;
            }
            // The user may have saved another key meanwhile: that one is the next pass's.
            AppSettings settings = m_appState.settings();
            if (apiKeyIn(settings, provider) != key)
                continue;
            setApiKeyIn(settings, provider, QString());
            m_lastTried = keysIn(settings);
            m_appState.setSettings(settings);
            m_appState.saveSettings();
            Console::line(QStringLiteral("The %1 API key is now kept in the keyring").arg(displayName(provider)));
        }
    } while (m_again);
    m_moving = false;
    emit passFinished();
}
