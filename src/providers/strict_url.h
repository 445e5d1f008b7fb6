#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// Parses a URL that must already be written in its final, encoded form: QUrl alone would
// quietly percent-encode characters (a non-ASCII letter, say) that a strict parser refuses.
// Returns nothing when the text holds a character outside the URL character set, a '%'
// not followed by two hex digits, or anything QUrl's strict mode rejects.
std::optional<QUrl> parseStrictUrl(const QString& text);

// As parseStrictUrl, and the URL must be http or https with a host.
std::optional<QUrl> parseStrictHttpUrl(const QString& text);
