#pragma once

#include <QString>
#include <functional>

// Diagnostics are single lines on standard output. Tests swap the sink to read them.
namespace Console {
// Writes one line. Control characters are shown as \xNN (server text must not drive the
// terminal or start a line of its own) and user-info in URLs as "***@".
void line(const QString& text);
// The text with "user:password@" of every URL in it replaced by "***@".
QString redactUserInfo(const QString& text);
using Sink = std::function<void(const QString&)>;
// Returns the previous sink; an empty sink restores standard output.
Sink setSink(Sink sink);
} // namespace Console
