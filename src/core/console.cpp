#include "console.h"

#include <cstdio>

namespace {
Console::Sink& sink()
{
    static Console::Sink s;
    return s;
}
} // namespace

void Console::line(const QString& text)
{
    if (sink()) {
        sink()(text);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Console::Sink Console::setSink(Sink s)
{
    Sink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}
