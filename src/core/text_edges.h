#pragma once

#include <QString>

// The whitespace and line breaks that began and ended the selected text, put back around
// an answer (answers come trimmed), so replacing a selection that ends with its line
// break does not glue the next line to the answer.
QString withEdgesOf(const QString& original, const QString& answer);

// Line ends as applications hold them: some hand their text over with CRLF.
QString withUnixLineEnds(QString text);
