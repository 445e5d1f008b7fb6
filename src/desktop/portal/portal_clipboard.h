#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QCoro/QCoroTask>
#include <chrono>
#include <optional>

// The desktop's clipboard through the Clipboard portal of a RemoteDesktop session (GNOME,
// KDE): no window and no focus needed. Another program's text is read as soon as it takes
// the clipboard, so text() answers at once; Tovalin's own text is handed over whenever a
// program pastes it.
class PortalClipboard : public QObject {
    Q_OBJECT
public:
    // How long a program may take to hand its text over, or to take ours.
    static constexpr std::chrono::milliseconds defaultTransferWait{1000};
    // Read no further: a selection that large is no text to run a command on.
    static constexpr qsizetype readLimit = 8 * 1024 * 1024;

    explicit PortalClipboard(QDBusConnection bus, std::chrono::milliseconds transferWait = defaultTransferWait,
                             QObject* parent = nullptr);

    // Follows the clipboard of this session (its object path) from now on; an empty path:
    // of none (the session ended, or the desktop did not enable its clipboard).
    void bind(const QString& session);
    bool isBound() const { return !m_session.isEmpty(); }

    // The clipboard's plain text; nothing when it holds none, or is being read.
    std::optional<QString> text() const { return m_text; }
    // Offers the text to every program that pastes.
    void setText(const QString& text);
    // Forgets the text kept here, leaving the desktop's clipboard as it is: emptying that
    // too could reach the desktop after the copy chord that follows and wipe the copy.
    void clear();
    // Resumes once the desktop has taken the text of the last setText() (or given up).
    QCoro::Task<> offered();

signals:
    // Another program took the clipboard and what it holds has been read (or found no text).
    void changed();
    // A program has been handed our text.
    void fetched();
    // A SetSelection has been answered (offered() waits for it).
    void offerSettled();

private slots:
    void onOwnerChanged(const QDBusObjectPath& session, const QVariantMap& options);
    void onTransfer(const QDBusObjectPath& session, const QString& mimeType, uint serial);

private:
    QCoro::Task<> offer(QStringList mimeTypes);
    QCoro::Task<> read(QString mimeType, quint64 generation);
    QCoro::Task<> serve(uint serial, QByteArray bytes);
    // Calls a Clipboard method that answers with a descriptor; -1 when it did not.
    QCoro::Task<int> descriptorFrom(QString method, QVariant argument);
    QCoro::Task<bool> call(QString method, QVariantList arguments);

    QDBusConnection m_bus;
    std::chrono::milliseconds m_transferWait;
    QString m_session;
    std::optional<QString> m_text;
    // What programs that paste are handed: the last text set, until another owner comes.
    std::optional<QByteArray> m_served;
    // setText() since the last clear(): the desktop's word that we own the clipboard
    // brings that text back.
    bool m_ownsText = false;
    // Counts owner changes, setText() and clear(): a read that finds it moved on is stale.
    quint64 m_generation = 0;
    int m_offering = 0;
};
