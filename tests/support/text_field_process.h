#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

// The tests' own native Wayland text field (wayland_text_field), read from what it prints:
// "focused", "left" and "text: ..." at each change.
class TextFieldProcess {
public:
    // True once the field reports the keyboard focus.
    bool start(const QString& binary, const QProcessEnvironment& environment, const QString& text)
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(binary, {text});
        return QTest::qWaitFor([&] { return saw("focused\n"); }, 10000);
    }
    ~TextFieldProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool saw(const char* line) { return output().contains(line); }
    qsizetype count(const char* line) { return output().count(line); }
    // The keys that select reach the field later than the compositor takes them, and a field
    // that no longer has the focus may not take PRIMARY.
    bool hasSelected(const QString& text)
    {
        return QTest::qWaitFor([&] { return saw(("selected: " + text + "\n").toUtf8().constData()); }, 10000);
    }
    // The last text the field reported; empty when it never changed.
    QString text()
    {
        const QStringList changes = QString::fromUtf8(output()).split('\n').filter(QRegularExpression("^text: "));
        return changes.isEmpty() ? QString() : changes.last().mid(6);
    }

private:
    QByteArray output()
    {
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }
    QProcess m_process;
    QByteArray m_output;
};
