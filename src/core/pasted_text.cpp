#include "pasted_text.h"

QString withEdgesOf(const QString& original, const QString& answer)
{
    qsizetype begin = 0;
    while (begin < original.size() && original.at(begin).isSpace())
        ++begin;
    if (begin == original.size())
        return answer; // only whitespace: nothing to keep on either side
    qsizetype end = original.size();
    while (end > begin && original.at(end - 1).isSpace())
        --end;
    QString middle = answer;
    // Only a side that gets its edge back loses the answer's own whitespace there.
    if (end < original.size())
        while (!middle.isEmpty() && middle.back().isSpace())
            middle.chop(1);
    if (begin > 0) {
        qsizetype lead = 0;
        while (lead < middle.size() && middle.at(lead).isSpace())
            ++lead;
        middle.remove(0, lead);
    }
    return original.left(begin) + middle + original.mid(end);
}

QString withUnixLineEnds(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QString withoutControlCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r') {
            if (i + 1 == text.size() || text.at(i + 1) != u'\n')
                out.append(u'\n');
            continue;
        }
        if (!isHiddenControl(c) || c == u'\t' || c == u'\n')
            out.append(QChar(c));
    }
    return out;
}

bool isHiddenControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069);
}
