#pragma once

#include "records.h"

#include <QList>
#include <QString>

// What the user has typed at the palette and the rows it leaves: the enabled commands
// whose name or category holds every typed word, then a last row that runs the typed
// text itself as the instruction.
class PaletteQuery {
public:
    struct Row {
        Command command;
        bool isAsk = false;
    };

    const QString& text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }

    // Printable text only; false (nothing changes) for anything else.
    bool type(const QString& typed);
    // False when there was nothing to remove.
    bool backspace();
    void clear() { m_text.clear(); }

    // Without typed text: the commands as they are, no "Ask" row.
    QList<Row> rows(const QList<Command>& enabledCommands) const;
    static bool matches(const Command& command, const QStringList& words);

private:
    QString m_text;
};
