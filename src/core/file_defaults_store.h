#pragma once

#include "defaults_store.h"

#include <QHash>
#include <QSet>
#include <QString>

// One JSON file per key in the user's XDG folders, written atomically and
// readable only by the user (settings hold API keys, history holds user texts).
// Folders or files that are not the user's own are neither read nor written.
class FileDefaultsStore : public DefaultsStore {
public:
    FileDefaultsStore(QString configDir, QString stateDir,
                      qint64 maxDocumentBytes = defaultMaxDocumentBytes);
    // $XDG_CONFIG_HOME/tovalin and $XDG_STATE_HOME/tovalin, with the XDG fallbacks.
    static FileDefaultsStore forCurrentUser();

    std::optional<QByteArray> data(const QString& key) override;
    bool setData(const QString& key, const QByteArray& bytes) override;
    void markUnreadable(const QString& key) override;
    QString location(const QString& key) const override { return pathForKey(key); }
    QString unreadableCopyLocation(const QString& key) const override;
    QString readProblem(const QString& key) const override { return m_readProblems.value(key); }
    // Larger files are not documents this program wrote; they load as unreadable.
    qint64 maxDocumentBytes() const override { return m_maxDocumentBytes; }

    // The file a key lives in; empty for a key this store does not know.
    QString pathForKey(const QString& key) const;
    const QString& configDir() const { return m_configDir; }
    const QString& stateDir() const { return m_stateDir; }

    // How many set-aside copies of an unreadable document are kept, newest first.
    static constexpr int keptUnreadableCopies = 3;

private:
    static QString unreadableCopyPath(const QString& path);
    // False, said once per path, when the document or its folder is not the user's own.
    bool mayUse(const QString& path, bool createFolder);
    void keepUnreadableCopy(const QString& path);

    QString m_configDir;
    QString m_stateDir;
    qint64 m_maxDocumentBytes;
    QSet<QString> m_unreadableKeys;
    QHash<QString, QString> m_refusedPaths; // already reported, with why
    QHash<QString, QString> m_readProblems;
};
