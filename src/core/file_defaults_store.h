#pragma once

#include "defaults_store.h"

#include <QHash>
#include <QSet>
#include <QString>

// One JSON file per key in the user's XDG folders, written atomically and
// readable only by the user (settings hold API keys, history holds user texts).
class FileDefaultsStore : public DefaultsStore {
public:
    FileDefaultsStore(QString configDir, QString stateDir);
    // $XDG_CONFIG_HOME/tovalin and $XDG_STATE_HOME/tovalin, with the XDG fallbacks.
    static FileDefaultsStore forCurrentUser();

    std::optional<QByteArray> data(const QString& key) override;
    bool setData(const QString& key, const QByteArray& bytes) override;
    void markUnreadable(const QString& key) override;
    QString location(const QString& key) const override { return pathForKey(key); }
    QString unreadableCopyLocation(const QString& key) const override;

    // The file a key lives in; empty for a key this store does not know.
    QString pathForKey(const QString& key) const;

    // Larger files are not documents this program wrote; they load as unreadable.
    static constexpr qint64 maxDocumentBytes = 64 * 1024 * 1024;

private:
    static QString unreadableCopyPath(const QString& path);
    void keepUnreadableCopy(const QString& path);

    QString m_configDir;
    QString m_stateDir;
    QSet<QString> m_unreadableKeys;
};
