#pragma once

#include "defaults_store.h"

#include <QHash>
#include <QSet>

// Defaults kept in memory; counts writes so tests can tell "nothing written back".
class MemoryDefaultsStore : public DefaultsStore {
public:
    QHash<QString, QByteArray> values;
    QSet<QString> unreadable;
    int writes = 0;

    std::optional<QByteArray> data(const QString& key) override
    {
        if (!values.contains(key))
            return std::nullopt;
        return values.value(key);
    }
    bool setData(const QString& key, const QByteArray& bytes) override
    {
        ++writes;
        values.insert(key, bytes);
        return true;
    }
    void markUnreadable(const QString& key) override { unreadable.insert(key); }
};
