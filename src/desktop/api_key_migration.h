#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QStringList>

struct AppSettings;

class AppState;
class KeychainKeyStore;

// Moves API keys from the settings file into the keyring: at start, for keys written by an
// earlier version or while no keyring answered, and whenever a key is saved. A key leaves
// the file only once the keyring confirmed it; while the keyring stays locked the file
// keeps it.
class ApiKeyMigration : public QObject {
    Q_OBJECT
public:
    ApiKeyMigration(AppState& appState, KeychainKeyStore& keys, QObject* parent = nullptr);

    // Probes for a keyring, moves what the file holds and keeps watching the settings.
    QCoro::Task<> start();

signals:
    // A pass is over; the file holds only what the keyring did not take.
    void passFinished();

private:
    static QStringList keysIn(const AppSettings& settings);
    QCoro::Task<> move();

    AppState& m_appState;
    KeychainKeyStore& m_keys;
    QStringList m_lastTried;
    bool m_moving = false;
    bool m_again = false;
};
