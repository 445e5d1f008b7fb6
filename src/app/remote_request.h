#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What a start of tovalin asks of the running instance over its socket: one line out, one
// line back. The exit codes of a remote command are the reply's status.
struct RemoteRequest {
    enum class Kind { show, palette, run };
    Kind kind = Kind::show;
    QString commandName; // run only

    // A longer line is not a request; the instance stops reading there.
    static constexpr qsizetype maxLineBytes = 4096;

    // "show", "palette" or "run NAME", with its line end.
    QByteArray toLine() const;
    // A line without its line end; nothing when it is not a request.
    static std::optional<RemoteRequest> fromLine(const QByteArray& line);
};

struct RemoteReply {
    enum Status { done = 0, notRunning = 1, malformed = 2, noSuchCommand = 3 };
    int status = done;
    QString message;

    // "STATUS MESSAGE", with its line end.
    QByteArray toLine() const;
    static std::optional<RemoteReply> fromLine(const QByteArray& line);
};
