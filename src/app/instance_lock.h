#pragma once

#include <QString>
#include <optional>

// A lock file held with flock(): the kernel lets go of it when the holder dies, however it
// dies, so nothing is ever left to judge stale, not even a file a kill cut short while it was
// being written (which QLockFile takes for a live lock for half a minute).
class InstanceLock {
public:
    explicit InstanceLock(QString path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock at once or not at all, and writes this process's pid into the file.
    bool tryLock();
    bool isLocked() const { return m_fd >= 0; }

    // Nothing when no process holds the lock at path; else the holder's pid, 0 while it
    // has not been written yet.
    static std::optional<qint64> holder(const QString& path);

private:
    QString m_path;
    int m_fd = -1;
};
