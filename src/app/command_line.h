#pragma once

#include "remote_request.h"

#include <QCommandLineParser>
#include <QStringList>

// What one start of tovalin is asked to do: run (maybe in the background), answer --help
// or --version, or pass a remote command to the running instance.
class CommandLine {
public:
    enum class Action { start, help, version, remote, invalid };
    // Exit code of a start with arguments that make no sense.
    static constexpr int usageExitCode = RemoteReply::malformed;

    // Needs no application object, so --help and --version answer without a display.
    explicit CommandLine(const QStringList& arguments);

    Action action() const { return m_action; }
    bool background() const { return m_background; }
    const RemoteRequest& request() const { return m_request; }
    // Why the arguments were refused (Action::invalid).
    const QString& error() const { return m_error; }
    // Needs a QCoreApplication for the program's name.
    QString helpText() const { return m_parser.helpText() + m_helpFooter; }

private:
    QCommandLineParser m_parser;
    QString m_helpFooter;
    Action m_action = Action::start;
    bool m_background = false;
    RemoteRequest m_request;
    QString m_error;
};
