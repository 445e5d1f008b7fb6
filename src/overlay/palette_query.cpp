#include "palette_query.h"

#include "command_library.h"

bool PaletteQuery::type(const QString& typed)
{
    if (typed.isEmpty())
        return false;
    for (const QChar c : typed)
        if (!c.isPrint())
            return false;
    m_text += typed;
    return true;
}

bool PaletteQuery::backspace()
{
    if (m_text.isEmpty())
        return false;
    // A surrogate pair is one character to the user.
    m_text.chop(m_text.size() >= 2 && m_text.back().isLowSurrogate() ? 2 : 1);
    return true;
}

bool PaletteQuery::matches(const Command& command, const QStringList& words)
{
    const QString category = rawValue(command.category);
    for (const QString& word : words)
        if (!command.name.contains(word, Qt::CaseInsensitive) && !category.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

QList<PaletteQuery::Row> PaletteQuery::rows(const QList<Command>& enabledCommands) const
{
    QList<Row> rows;
    const QStringList words = m_text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const Command& command : enabledCommands)
        if (m_text.isEmpty() || matches(command, words))
            rows.append({command, false});
    if (!m_text.trimmed().isEmpty()) {
        Command ask = customInstruction(m_text.trimmed());
        ask.name = QStringLiteral("Ask: ") + m_text.trimmed();
        rows.append({ask, true});
    }
    return rows;
}
