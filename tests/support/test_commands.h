#pragma once

#include "records.h"

#include <QStringList>
#include <QUuid>

// A command of the tests' own, made a day ago: its prompt is "prompt <name>".
inline Command makeCommand(const QString& name, bool enabled = true)
{
    Command c;
    c.id = QUuid::createUuid();
    c.name = name;
    c.prompt = QStringLiteral("prompt ") + name;
    c.icon = QStringLiteral("sparkles");
    c.isEnabled = enabled;
    c.createdAt = c.updatedAt = QDateTime::currentDateTimeUtc().addDays(-1);
    return c;
}

inline QStringList names(const QList<Command>& commands)
{
    QStringList out;
    for (const Command& c : commands)
        out << c.name;
    return out;
}
