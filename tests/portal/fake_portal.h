#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// Stands in for xdg-desktop-portal on a private bus: records every call, answers the
// request methods with a Response chosen by the test (or none), and sends signals.
class FakePortal : public QDBusVirtualObject {
public:
    struct Call {
        QString member;
        QVariantList arguments;
        QString path;
    };

    // What a program pasting from the Clipboard portal got through SelectionWrite's pipe by
    // the time SelectionWriteDone came, and whether the pipe had been closed by then.
    struct Written {
        QByteArray bytes;
        bool closed = false;
    };

    // A version of 0: the interface is not offered.
    FakePortal(const QString& busAddress, uint shortcutsVersion = 1, uint remoteDesktopVersion = 2,
               uint clipboardVersion = 0);
    ~FakePortal() override;
    bool isRegistered() const { return m_registered; }

    // The Response to the next calls of member; results gain session_handle for CreateSession.
    void answer(const QString& member, uint response, const QVariantMap& results = {});
    void staySilent(const QString& member) { m_silent.insert(member); }
    void emitSignal(const QString& interface, const QString& name, const QVariantList& arguments);
    // What SelectionRead's pipe delivers before it is closed; nothing: it stays open and silent.
    void offerSelection(std::optional<QByteArray> content) { m_selection = std::move(content); }
    const QMap<uint, Written>& written() const { return m_written; }

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
    uint m_clipboardVersion;
    std::optional<QByteArray> m_selection;
    QList<int> m_silentPipes;
    QMap<uint, int> m_writePipes; // serial -> the end SelectionWrite's writer feeds
    QMap<uint, Written> m_written;

    void answerTransfer(const QDBusMessage& message, QDBusConnection& bus);
};
