#pragma once

#include <QLockFile>
#include <QObject>
#include <memory>

class QLocalServer;

// One Tovalin per user session: a second start asks the running one to come
// forward instead of grabbing the same keys twice.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // runtimeDir holds the lock and the socket ($XDG_RUNTIME_DIR, else a per-user temp folder).
    explicit SingleInstance(const QString& runtimeDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultRuntimeDir();

    // True when this process is now the one instance. False when another one
    // runs; it has then been asked to show itself.
    bool claim();

signals:
    void activationRequested();

private:
    bool notifyRunningInstance();
    bool listen();

    QString m_dir;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
