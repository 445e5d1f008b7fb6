#include "x11_test_client.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// xcb replies are malloc'ed.
template<typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply)
{
    return {reply, &std::free};
}

bool waitForExit(QProcess& process, int timeoutMs)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning || process.waitForFinished(0); },
                           timeoutMs);
}

} // namespace

X11TestClient::X11TestClient() : m_connection(xcb_connect(nullptr, nullptr))
{
    if (!xcb_connection_has_error(m_connection))
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

X11TestClient::~X11TestClient()
{
    xcb_disconnect(m_connection);
}

bool X11TestClient::isConnected() const
{
    return !xcb_connection_has_error(m_connection) && m_root != 0;
}

int X11TestClient::grabKey(uint8_t keyCode, uint16_t modifiers)
{
    const auto error = owned(xcb_request_check(
        m_connection, xcb_grab_key_checked(m_connection, 1, m_root, modifiers, keyCode, XCB_GRAB_MODE_ASYNC,
                                           XCB_GRAB_MODE_ASYNC)));
    return error ? error->error_code : 0;
}

std::optional<uint32_t> X11TestClient::activeWindowPid()
{
    const auto read32 = [this](uint32_t window, const char* name, uint32_t type) -> std::optional<uint32_t> {
        const auto atom = owned(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr));
        const auto reply = owned(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, atom ? atom->atom : 0, type, 0, 1), nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
            return std::nullopt;
        return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    };
    const std::optional<uint32_t> window = read32(m_root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return window && *window ? read32(*window, "_NET_WM_PID", XCB_ATOM_CARDINAL) : std::nullopt;
}

uint16_t X11TestClient::modifierState()
{
    const auto reply = owned(xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    return reply ? reply->mask : 0;
}

bool runTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForStarted(timeoutMs) && waitForExit(process, timeoutMs)
        && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TestProgram::~TestProgram()
{
    m_process.kill();
    m_process.waitForFinished(2000);
}

YadEntry::YadEntry(const QString& text)
{
    m_process.start(QStringLiteral("yad"), {QStringLiteral("--entry"), QStringLiteral("--entry-text"), text,
                                            QStringLiteral("--title"), QStringLiteral("Tovalin test field")});
    X11TestClient client;
    m_ready = m_process.waitForStarted(5000)
        && QTest::qWaitFor([&] { return client.activeWindowPid() == uint32_t(pid()); }, 5000);
    // The field selects its text when GTK hands it the focus, just after the window is active.
    QTest::qWait(150);
}

std::optional<QString> YadEntry::submit()
{
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")})
        || !waitForExit(m_process, 5000))
        return std::nullopt;
    const QString out = QString::fromUtf8(m_process.readAllStandardOutput());
    return out.endsWith(QLatin1Char('\n')) ? out.chopped(1) : out;
}

YadTextView::YadTextView(const QString& text)
{
    m_process.start(QStringLiteral("yad"), {QStringLiteral("--text-info"), QStringLiteral("--editable"),
                                            QStringLiteral("--width=500"), QStringLiteral("--height=300"),
                                            QStringLiteral("--title"), QStringLiteral("Tovalin test view")});
    m_process.write(text.toUtf8());
    m_process.closeWriteChannel();
    X11TestClient client;
    m_ready = m_process.waitForStarted(5000)
        && QTest::qWaitFor([&] { return client.activeWindowPid() == uint32_t(pid()); }, 5000);
    QTest::qWait(300);
}

std::optional<QString> YadTextView::contents()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("\x01unread"));
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")})
        || !QTest::qWaitFor([&] { return clipboard->text() != QStringLiteral("\x01unread"); }, 3000))
        return std::nullopt;
    // GTK hands plain text over with CRLF; the view itself holds LF.
    return clipboard->text().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

XclipOwner::XclipOwner(Selection selection, const QString& text)
{
    const bool primary = selection == Selection::primary;
    // -quiet keeps xclip in the foreground, so it is ours to end.
    m_process.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                              QLatin1String(primary ? "primary" : "clipboard"), QStringLiteral("-i")});
    m_process.write(text.toUtf8());
    m_process.closeWriteChannel();
    const QClipboard::Mode mode = primary ? QClipboard::Selection : QClipboard::Clipboard;
    m_ready = QTest::qWaitFor([&] { return QGuiApplication::clipboard()->text(mode) == text; }, 5000);
}
