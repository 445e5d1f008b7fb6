#pragma once

#include "console.h"

#include <QStringList>

// Collects console lines for the lifetime of the object.
class ConsoleCapture {
public:
    ConsoleCapture()
    {
        m_previous = Console::setSink([this](const QString& line) { lines.append(line); });
    }
    ~ConsoleCapture() { Console::setSink(std::move(m_previous)); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    int count(const QString& line) const { return int(lines.count(line)); }
    bool containsPrefix(const QString& prefix) const
    {
        for (const QString& l : lines)
            if (l.startsWith(prefix))
                return true;
        return false;
    }

    QStringList lines;

private:
    Console::Sink m_previous;
};
