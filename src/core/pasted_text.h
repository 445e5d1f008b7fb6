#pragma once

#include <QString>

// The whitespace and line breaks that began and ended the selected text, put back around
// an answer (answers come trimmed), so replacing a selection that ends with its line
// break does not glue the next line to the answer.
QString withEdgesOf(const QString& original, const QString& answer);

// Line ends as applications hold them: some hand their text over with CRLF.
QString withUnixLineEnds(QString text);

// Control characters other than tab and line feed taken out (CR ends a line as LF does).
// An answer is pasted into terminals too, where ESC could end a bracketed paste early
// and the rest would run as typed commands.
// Bidirectional embeddings, overrides and isolates go too: U+202E can make a pasted
// command or a console line read differently from what it does.
QString withoutControlCharacters(const QString& text);

// The characters withoutControlCharacters takes out (tab and line ends aside).
bool isHiddenControl(char16_t c);
