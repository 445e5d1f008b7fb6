#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

// Stands in for xdg-desktop-portal on a private bus: records every call, answers the
// request methods with a Response chosen by the test (or none), and sends signals.
class FakePortal : public QDBusVirtualObject {
public:
    struct Call {
        QString member;
        QVariantList arguments;
        QString path;
    };

    FakePortal(const QString& busAddress, uint shortcutsVersion = 1, uint remoteDesktopVersion = 2);
    ~FakePortal() override;
    bool isRegistered() const { return m_registered; }

    // The Response to the next calls of member; results gain session_handle for CreateSession.
    void answer(const QString& member, uint response, const QVariantMap& results = {});
    void staySilent(const QString& member) { m_silent.insert(member); }
    void emitSignal(const QString& interface, const QString& name, const QVariantList& arguments);

    const QList<Call>& calls() const { return m_calls; }
    QStringList members() const;
    // The options (last argument) of the latest call of member.
    QVariantMap lastOptions(const QString& member) const;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QDBusConnection m_connection;
    bool m_registered = false;
    uint m_shortcutsVersion;
    uint m_remoteDesktopVersion;
    QMap<QString, std::pair<uint, QVariantMap>> m_answers;
    QSet<QString> m_silent;
    QList<Call> m_calls;
};
