#include "x11_test_client.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

X11TestClient::X11TestClient()
{
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection))
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

X11TestClient::~X11TestClient()
{
    xcb_disconnect(m_connection);
}

bool X11TestClient::isConnected() const
{
    return m_connection && !xcb_connection_has_error(m_connection) && m_root != 0;
}

int X11TestClient::grabKey(uint8_t keyCode, uint16_t modifiers)
{
    xcb_generic_error_t* error = xcb_request_check(
        m_connection, xcb_grab_key_checked(m_connection, 1, m_root, modifiers, keyCode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const int code = error ? error->error_code : 0;
    std::free(error);
    return code;
}

void X11TestClient::ungrabKey(uint8_t keyCode, uint16_t modifiers)
{
    // Checked, so the server has carried it out before the test goes on.
    std::free(xcb_request_check(m_connection,
                                xcb_ungrab_key_checked(m_connection, keyCode, m_root, modifiers)));
}

uint32_t X11TestClient::atom(const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const uint32_t value = reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

std::optional<uint32_t> X11TestClient::activeWindowPid()
{
    auto read32 = [this](uint32_t window, uint32_t property, uint32_t type) -> std::optional<uint32_t> {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 1), nullptr);
        std::optional<uint32_t> value;
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
            value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
        std::free(reply);
        return value;
    };
    const std::optional<uint32_t> window = read32(m_root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!window || *window == 0)
        return std::nullopt;
    return read32(*window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
}

uint16_t X11TestClient::modifierState()
{
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
    const uint16_t state = reply ? reply->mask : 0;
    std::free(reply);
    return state;
}

bool runTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(5);
        process.waitForFinished(0);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool waitForActiveWindowOf(qint64 pid, int timeoutMs)
{
    X11TestClient client;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const std::optional<uint32_t> active = client.activeWindowPid();
        if (active && qint64(*active) == pid)
            return true;
        QTest::qWait(10);
    }
    return false;
}

YadEntry::YadEntry(const QString& text)
{
    m_process.start(QStringLiteral("yad"),
                    {QStringLiteral("--entry"), QStringLiteral("--entry-text"), text,
                     QStringLiteral("--title"), QStringLiteral("Tovalin test field")});
    if (!m_process.waitForStarted(5000))
        return;
    m_ready = waitForActiveWindowOf(m_process.processId());
    // The field selects its text when GTK hands it the focus, just after the window is active.
    if (m_ready)
        QTest::qWait(150);
}

YadEntry::~YadEntry()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

std::optional<QString> YadEntry::submit()
{
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")}))
        return std::nullopt;
    QDeadlineTimer deadline(5000);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(10);
        m_process.waitForFinished(0);
    }
    if (m_process.state() != QProcess::NotRunning)
        return std::nullopt;
    QString out = QString::fromUtf8(m_process.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

XclipOwner::XclipOwner(Selection selection, const QString& text)
{
    const bool primary = selection == Selection::primary;
    // -quiet keeps xclip in the foreground, so it is ours to end.
    m_process.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                     primary ? QStringLiteral("primary") : QStringLiteral("clipboard"),
                     QStringLiteral("-i")});
    if (!m_process.waitForStarted(5000))
        return;
    m_process.write(text.toUtf8());
    m_process.closeWriteChannel();
    const QClipboard::Mode mode = primary ? QClipboard::Selection : QClipboard::Clipboard;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (QGuiApplication::clipboard()->text(mode) == text) {
            m_ready = true;
            break;
        }
        QTest::qWait(10);
    }
}

XclipOwner::~XclipOwner()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

SelectionRequestCounter::SelectionRequestCounter()
{
    qGuiApp->installNativeEventFilter(this);
}

SelectionRequestCounter::~SelectionRequestCounter()
{
    qGuiApp->removeNativeEventFilter(this);
}

bool SelectionRequestCounter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType == "xcb_generic_event_t"
        && (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_SELECTION_REQUEST)
        ++m_count;
    return false;
}
