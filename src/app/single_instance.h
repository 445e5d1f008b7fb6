#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

class QLocalServer;
class QTimer;

// One Tovalin per user session: a second start asks the running one to come
// forward instead of grabbing the same keys twice.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // runtimeDir holds the lock and the socket ($XDG_RUNTIME_DIR, else a per-user temp folder).
    // Each of stateDirs gets a lock too: two starts with different runtime folders must not
    // share the documents either.
    explicit SingleInstance(const QString& runtimeDir, const QStringList& stateDirs = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultRuntimeDir();

    // True when this process is now the one instance. False when another one runs (it has
    // then been asked to show itself, see handedOver()) or when this start cannot run; the
    // reason is then on the console.
    bool claim();
    bool handedOver() const { return m_handedOver; }

signals:
    void activationRequested();

private:
    QString socketPath() const;
    bool notifyRunningInstance();
    bool takeLock(const QString& dir, const QString& refusal);
    // Listens on the socket, again whenever it is gone (deleted, or closed by Qt when
    // accepting failed for lack of file handles); retried while listening fails.
    void listen();

    QString m_dir;
    QStringList m_stateDirs;
    std::vector<std::unique_ptr<QLockFile>> m_locks;
    QLocalServer* m_server = nullptr;
    QTimer* m_retry = nullptr;
    bool m_handedOver = false;
};
