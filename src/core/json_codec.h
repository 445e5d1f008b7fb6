#pragma once

#include "records.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <optional>

// The stored JSON form of the records. Decoding is strict: any missing or
// mistyped member fails the whole document (the caller falls back to defaults).
namespace JsonCodec {

QJsonObject encode(const HotkeyConfig& v);
QJsonObject encode(const Command& v);
QJsonObject encode(const AppSettings& v);
QJsonObject encode(const HistoryItem& v);

// A failed decode can name the first member that failed ("overlayHotkey.keyCode").
std::optional<HotkeyConfig> decodeHotkeyConfig(const QJsonObject& o, QString* failedMember = nullptr);
std::optional<Command> decodeCommand(const QJsonObject& o);
std::optional<AppSettings> decodeAppSettings(const QJsonObject& o, QString* failedMember = nullptr);
std::optional<HistoryItem> decodeHistoryItem(const QJsonObject& o);

// Whole documents, as stored under the three keys.
QByteArray encodeSettingsDocument(const AppSettings& v);
QByteArray encodeCommandsDocument(const QList<Command>& v);
QByteArray encodeHistoryDocument(const QList<HistoryItem>& v);
// How many entries, from the first (newest), make a history document of at most maxBytes.
qsizetype historyEntriesFitting(const QList<HistoryItem>& v, qint64 maxBytes);
// whyNot, when given, receives one readable reason for a failure: the member, or the
// parse error and its offset.
std::optional<AppSettings> decodeSettingsDocument(const QByteArray& bytes, QString* whyNot = nullptr);
std::optional<QList<Command>> decodeCommandsDocument(const QByteArray& bytes);
std::optional<QList<HistoryItem>> decodeHistoryDocument(const QByteArray& bytes);

// Dates are seconds since 2001-01-01 00:00:00 UTC; UUIDs upper-case without braces.
double encodeDate(const QDateTime& d);
std::optional<QDateTime> decodeDate(double secondsSinceReference);
QString encodeUuid(const QUuid& id);
std::optional<QUuid> decodeUuid(const QString& text);

} // namespace JsonCodec
