#pragma once

#include "portal_request.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QCoro/QCoroTask>
#include <chrono>

// Keys typed into the focused window through the RemoteDesktop portal (GNOME, KDE): a
// keyboard-only session the desktop asks the user about once, kept across starts by a
// restore token in the state folder (0600, replaced after every start). Keys go by keysym,
// so the chord is the same on every layout.
class PortalClipboard;

class PortalKeyboard : public QObject {
    Q_OBJECT
public:
    enum class State {
        notAsked, // no session yet this run, nor a token from an earlier one
        remembered, // no session yet, but the desktop remembered the user's yes
        granted,
        refused,
        failed, // no portal, or it did not answer
    };

    // The consent dialog waits for the user: the time-out must leave room for reading it.
    static constexpr std::chrono::milliseconds defaultTimeout{120000};

    PortalKeyboard(QDBusConnection bus, QString tokenFile, std::chrono::milliseconds timeout = defaultTimeout,
                   QObject* parent = nullptr);

    ~PortalKeyboard() override;

    // The keyboard the running application types with, for the permission row; null where
    // Tovalin does not type through the portal.
    static PortalKeyboard* inUse();

    State state() const { return m_state; }
    // Why typing is impossible, for the user; empty unless refused or failed.
    const QString& problem() const { return m_problem; }

    // Asks for the desktop's clipboard with every session from now on (where the desktop
    // offers the Clipboard portal); the clipboard then follows the session while it is up.
    void shareClipboard(PortalClipboard* clipboard);
    // The session is up and the desktop let it use the clipboard.
    bool clipboardEnabled() const;

    // Opens the session when there is none: true once keys can be typed.
    QCoro::Task<bool> start();
    // Presses the modifiers, taps the key and releases the modifiers (X keysyms); starts
    // the session first when needed. False when the keys could not be sent.
    QCoro::Task<bool> chord(QList<int> modifiers, int key);
    // Forgets the session and the remembered answer, so the next start asks again.
    void askAgain();
    // Forgets them and asks the desktop now rather than at the next paste.
    void askAgainNow();

signals:
    void stateChanged();

private slots:
    void onSessionClosed();

private:
    QCoro::Task<bool> openSession();
    QCoro::Task<bool> requestClipboard(const QString& session);
    void setState(State state, const QString& problem = {});
    QString readToken() const;
    void saveToken(const QString& token);

    QDBusConnection m_bus;
    QString m_tokenFile;
    std::chrono::milliseconds m_timeout;
    QString m_session;
    State m_state = State::notAsked;
    QString m_problem;
    bool m_starting = false;
    QPointer<PortalClipboard> m_clipboard;
};
