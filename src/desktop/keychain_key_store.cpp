#include "keychain_key_store.h"

#include "signal_or_timeout.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <memory>
#include <qt6keychain/keychain.h>

namespace {
constexpr std::chrono::milliseconds kProbeTimeout{2000};
// Secret Service providers, and KWallet, which QtKeychain speaks to directly on KDE.
const QStringList kKeyringNames{QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd5"),
                                QStringLiteral("org.kde.kwalletd6")};

// The item's key within its service: the settings member it stands in for.
QString memberName(AIProvider provider)
{
    return rawValue(provider) + QStringLiteral("ApiKey");
}

// Runs a started job until it finishes or the time is up. The job is the store's child,
// so one that never finishes goes with the store; one that finishes late deletes itself.
QCoro::Task<bool> finish(QKeychain::Job* job, std::chrono::milliseconds timeout)
{
    job->setAutoDelete(false);
    QPointer<QKeychain::Job> guard(job);
    // Outlives this frame: the job may finish after the wait has given up.
    auto done = std::make_shared<bool>(false);
    QObject::connect(job, &QKeychain::Job::finished, job, [done] { *done = true; });
    job->start();
    const bool signalled = co_await SignalOrTimeout(job, &QKeychain::Job::finished, timeout);
    if (!guard)
        co_return false;
    if (!signalled && !*done) {
        QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
        co_return false;
    }
    co_return true;
}

QCoro::Task<QStringList> busNames(const QString& method)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        co_return QStringList();
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    const bool answered = co_await SignalOrTimeout(watcher, &QDBusPendingCallWatcher::finished, kProbeTimeout);
    const QDBusPendingReply<QStringList> reply(*watcher);
    watcher->deleteLater();
    co_return answered && !reply.isError() ? reply.value() : QStringList();
}
// A locked keyring that could not ask for its password reports no item at all; the
// default collection's Locked property tells the two apart.
QCoro::Task<bool> defaultCollectionLocked()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage call = QDBusMessage::createMethodCall(
        kKeyringNames.first(), QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    const bool answered = co_await SignalOrTimeout(watcher, &QDBusPendingCallWatcher::finished, kProbeTimeout);
    const QDBusPendingReply<QDBusVariant> reply(*watcher);
    watcher->deleteLater();
    co_return answered && !reply.isError() && reply.value().variant().toBool();
}
} // namespace

KeychainKeyStore::KeychainKeyStore(QObject* parent) : QObject(parent) {}

QString KeychainKeyStore::label(AIProvider provider)
{
    return QStringLiteral("Tovalin: %1 API key").arg(displayName(provider));
}

void KeychainKeyStore::setLocation(Location location)
{
    if (m_location == location)
        return;
    m_location = location;
    emit locationChanged();
}

QCoro::Task<> KeychainKeyStore::probe()
{
    QPointer<KeychainKeyStore> self(this);
    QStringList names = co_await busNames(QStringLiteral("ListNames"));
    names += co_await busNames(QStringLiteral("ListActivatableNames"));
    if (!self)
        co_return;
    const bool answers = std::any_of(kKeyringNames.cbegin(), kKeyringNames.cend(),
                                     [&](const QString& name) { return names.contains(name); });
    setLocation(answers ? Location::keyring : Location::file);
}

QCoro::Task<ApiKeyStore::Lookup> KeychainKeyStore::read(AIProvider provider, std::chrono::milliseconds timeout)
{
    Lookup lookup;
    if (m_location == Location::file)
        co_return lookup;
    // The keyring labels items with their service name.
    auto* job = new QKeychain::ReadPasswordJob(label(provider), this);
    job->setKey(memberName(provider));
    QPointer<QKeychain::ReadPasswordJob> guard(job);
    const bool finished = co_await finish(job, timeout);
    if (!guard) {
        lookup.status = Lookup::Status::unreadable;
        lookup.error = QStringLiteral("Tovalin is quitting");
        co_return lookup;
    }
    if (!finished) {
        lookup.status = Lookup::Status::unreadable;
        lookup.error = QStringLiteral("the keyring did not answer within %1 s; unlock it and try again")
                           .arg(timeout.count() / 1000);
        co_return lookup;
    }
    const QKeychain::Error error = job->error();
    const QString text = job->textData();
    const QString errorText = job->errorString();
    job->deleteLater();
    if (error == QKeychain::EntryNotFound && co_await defaultCollectionLocked()) {
        lookup.status = Lookup::Status::unreadable;
        lookup.error = QStringLiteral("the keyring is locked; unlock it and try again");
        co_return lookup;
    }
    switch (error) {
    case QKeychain::NoError:
        lookup.status = Lookup::Status::found;
        lookup.key = text;
        break;
    case QKeychain::EntryNotFound: break;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        lookup.status = Lookup::Status::unreadable;
        lookup.error = QStringLiteral("the keyring is locked; unlock it and try again");
        break;
    default:
        lookup.status = Lookup::Status::unreadable;
        lookup.error = errorText;
        break;
    }
    co_return lookup;
}

QCoro::Task<bool> KeychainKeyStore::write(AIProvider provider, QString key)
{
    if (m_location == Location::file)
        co_return false;
    QKeychain::Job* job = nullptr;
    if (key.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(label(provider), this);
    } else {
        auto* writing = new QKeychain::WritePasswordJob(label(provider), this);
        writing->setTextData(key);
        job = writing;
    }
    job->setKey(memberName(provider));
    QPointer<QKeychain::Job> guard(job);
    QPointer<KeychainKeyStore> self(this);
    const bool finished = co_await finish(job, writeTimeout);
    if (!self || !guard)
        co_return false;
    const QKeychain::Error error = job->error();
    job->deleteLater();
    // Nothing to forget is as good as forgotten.
    const bool ok = finished && (error == QKeychain::NoError || (key.isEmpty() && error == QKeychain::EntryNotFound));
    if (ok)
        setLocation(Location::keyring);
    else if (error == QKeychain::NoBackendAvailable)
        setLocation(Location::file);
    else
        setLocation(Location::fileLocked);
    co_return ok;
}
