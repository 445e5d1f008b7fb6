#pragma once

#include <QString>
#include <functional>

// Diagnostics are single lines on standard output. Tests swap the sink to read them.
namespace Console {
void line(const QString& text);
using Sink = std::function<void(const QString&)>;
// Returns the previous sink; an empty sink restores standard output.
Sink setSink(Sink sink);
} // namespace Console
