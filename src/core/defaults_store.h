#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Bytes kept under a key across runs.
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;
    // Nothing when no value is stored under the key. A value that exists but
    // cannot be read comes back as bytes that will not decode.
    virtual std::optional<QByteArray> data(const QString& key) = 0;
    // Replaces the value; false when it could not be written (the old value stays).
    virtual bool setData(const QString& key, const QByteArray& bytes) = 0;
    // The value under the key could not be decoded: keep it aside before it is
    // first overwritten, so nothing the user wrote is lost.
    virtual void markUnreadable(const QString& key) { (void)key; }
    // Why the last data() for the key gave bytes it did not read (a place that is not the
    // user's, a folder in its stead, ...); empty when it read them.
    virtual QString readProblem(const QString& key) const
    {
        (void)key;
        return {};
    }
    // Where the value under the key lives, as a user would look for it (a file path).
    virtual QString location(const QString& key) const { return key; }
    // Where an unreadable value under the key will be kept; empty when it is not kept.
    virtual QString unreadableCopyLocation(const QString& key) const
    {
        (void)key;
        return {};
    }
    // Longer documents are not read back: whoever writes one keeps it shorter.
    virtual qint64 maxDocumentBytes() const { return defaultMaxDocumentBytes; }
    static constexpr qint64 defaultMaxDocumentBytes = 64 * 1024 * 1024;
};
