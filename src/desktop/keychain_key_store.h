#pragma once

#include "api_key_store.h"

#include <QObject>

// API keys in the desktop's keyring (GNOME Keyring, KWallet, KeePassXC: whatever answers
// as a Secret Service on the session bus), through QtKeychain, one item per provider
// labelled "Tovalin: OpenAI API key" and so on.
//
// The stored form of the settings keeps keys in the file elsewhere; here a keyring, where
// one answers, keeps them instead, and the file's members stay, empty, so earlier versions
// still read it. Without a keyring, or while it stays locked, the 0600 file keeps them.
class KeychainKeyStore : public QObject, public ApiKeyStore {
    Q_OBJECT
public:
    // How long a write may wait for the keyring (an unlock prompt included).
    static constexpr std::chrono::milliseconds writeTimeout{60'000};

    explicit KeychainKeyStore(QObject* parent = nullptr);

    // Asks the session bus whether a keyring runs or can be started; until then, and
    // when none can, location() is file.
    QCoro::Task<> probe();

    Location location() const override { return m_location; }
    QCoro::Task<Lookup> read(AIProvider provider, std::chrono::milliseconds timeout) override;
    QCoro::Task<bool> write(AIProvider provider, QString key) override;

    // The item's label, which keyring managers show: "Tovalin: OpenAI API key".
    static QString label(AIProvider provider);

signals:
    void locationChanged();

private:
    void setLocation(Location location);

    Location m_location = Location::file;
};
