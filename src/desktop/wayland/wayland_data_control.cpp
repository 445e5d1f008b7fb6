#include "wayland_data_control.h"

#include "wayland_connection.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wlr-data-control-unstable-v1-client-protocol.h>

namespace {
// Text kinds in the order they are asked for; all of them are offered for ours.
const char* const textTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT", "STRING"};

const wl_interface& extManagerInterface()
{
    static const wl_interface interface = [] {
        wl_interface renamed = zwlr_data_control_manager_v1_interface;
        renamed.name = "ext_data_control_manager_v1";
        renamed.version = 1;
        return renamed;
    }();
    return interface;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}
} // namespace

std::unique_ptr<WaylandDataControl> WaylandDataControl::create(WaylandConnection& connection,
                                                                WaylandParts::Selection flavour)
{
    if (!connection.seat() || flavour == WaylandParts::Selection::paletteFocus)
        return nullptr;
    const bool ext = flavour == WaylandParts::Selection::extDataControl;
    auto* manager = static_cast<zwlr_data_control_manager_v1*>(
        connection.bind(ext ? &extManagerInterface() : &zwlr_data_control_manager_v1_interface, ext ? 1 : 2));
    if (!manager)
        return nullptr;
    // A paste target that hangs up early must not end Tovalin.
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<WaylandDataControl> control(new WaylandDataControl(connection, manager));
    connection.roundtrip();
    return control;
}

WaylandDataControl::WaylandDataControl(WaylandConnection& connection, zwlr_data_control_manager_v1* manager)
    : m_connection(connection), m_manager(manager)
{
    static const zwlr_data_control_device_v1_listener listener{&onDataOffer, &onSelection, &onFinished,
                                                               &onPrimarySelection};
    m_device = zwlr_data_control_manager_v1_get_data_device(manager, connection.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
}

WaylandDataControl::~WaylandDataControl()
{
    for (auto it = m_mimeTypes.cbegin(); it != m_mimeTypes.cend(); ++it)
        zwlr_data_control_offer_v1_destroy(it.key());
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    zwlr_data_control_manager_v1_destroy(m_manager);
    m_connection.flush();
}

void WaylandDataControl::onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    static const zwlr_data_control_offer_v1_listener listener{&onOfferMimeType};
    static_cast<WaylandDataControl*>(data)->m_mimeTypes.insert(offer, {});
    zwlr_data_control_offer_v1_add_listener(offer, &listener, data);
}

void WaylandDataControl::onOfferMimeType(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType)
{
    static_cast<WaylandDataControl*>(data)->m_mimeTypes[offer].append(QString::fromUtf8(mimeType));
}

void WaylandDataControl::replaceOffer(zwlr_data_control_offer_v1*& current, zwlr_data_control_offer_v1* offer)
{
    // One offer may stand for both selections: it goes once neither holds it.
    zwlr_data_control_offer_v1* old = current;
    current = offer;
    if (old && old != m_primary && old != m_clipboard) {
        m_mimeTypes.remove(old);
        zwlr_data_control_offer_v1_destroy(old);
    }
}

void WaylandDataControl::onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<WaylandDataControl*>(data);
    self->replaceOffer(self->m_clipboard, offer);
    emit self->clipboardChanged();
}

void WaylandDataControl::onPrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<WaylandDataControl*>(data);
    self->replaceOffer(self->m_primary, offer);
    emit self->primaryChanged();
}

void WaylandDataControl::onFinished(void* data, zwlr_data_control_device_v1* device)
{
    auto* self = static_cast<WaylandDataControl*>(data);
    zwlr_data_control_device_v1_destroy(device);
    self->m_device = nullptr;
}

std::optional<QString> WaylandDataControl::primaryText()
{
    return read(m_primary);
}

std::optional<QString> WaylandDataControl::clipboardText()
{
    if (m_source)
        return QString::fromUtf8(m_sourceText);
    return read(m_clipboard);
}

std::optional<QString> WaylandDataControl::read(zwlr_data_control_offer_v1* offer)
{
    if (!offer)
        return std::nullopt;
    const QStringList& offered = m_mimeTypes.value(offer);
    const char* const* type = std::find_if(std::begin(textTypes), std::end(textTypes), [&](const char* candidate) {
        return offered.contains(QLatin1String(candidate));
    });
    if (type == std::end(textTypes))
        return std::nullopt;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    zwlr_data_control_offer_v1_receive(offer, *type, fds[1]);
    ::close(fds[1]);
    m_connection.flush();

    QByteArray bytes;
    QElapsedTimer clock;
    clock.start();
    bool complete = false;
    char buffer[65536];
    while (bytes.size() <= readLimit) {
        const qint64 left = readWait.count() - clock.elapsed();
        pollfd readable{fds[0], POLLIN, 0};
        if (left <= 0 || ::poll(&readable, 1, int(left)) <= 0)
            break;
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        bytes.append(buffer, got);
    }
    ::close(fds[0]);
    // Over the limit counts as read: the run refuses it and says how large it was.
    if (!complete && bytes.size() <= readLimit)
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

void WaylandDataControl::setClipboardText(const QString& text)
{
    if (!m_device)
        return;
    static const zwlr_data_control_source_v1_listener listener{&onSend, &onCancelled};
    dropSource();
    m_source = zwlr_data_control_manager_v1_create_data_source(m_manager);
    for (const char* type : textTypes)
        zwlr_data_control_source_v1_offer(m_source, type);
    zwlr_data_control_source_v1_add_listener(m_source, &listener, this);
    m_sourceText = text.toUtf8();
    zwlr_data_control_device_v1_set_selection(m_device, m_source);
    m_connection.flush();
}

void WaylandDataControl::clearClipboard()
{
    if (!m_device)
        return;
    dropSource();
    zwlr_data_control_device_v1_set_selection(m_device, nullptr);
    m_connection.flush();
}

void WaylandDataControl::dropSource()
{
    if (!m_source)
        return;
    zwlr_data_control_source_v1_destroy(m_source);
    m_source = nullptr;
    m_sourceText.clear();
}

void WaylandDataControl::onSend(void* data, zwlr_data_control_source_v1* source, const char*, int32_t fd)
{
    auto* self = static_cast<WaylandDataControl*>(data);
    if (source == self->m_source) {
        // Blocking writes: the reader is another program, reading as it should.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        writeAll(fd, self->m_sourceText);
    }
    ::close(fd);
    QMetaObject::invokeMethod(self, &WaylandDataControl::clipboardFetched, Qt::QueuedConnection);
}

void WaylandDataControl::onCancelled(void* data, zwlr_data_control_source_v1* source)
{
    auto* self = static_cast<WaylandDataControl*>(data);
    if (source == self->m_source) {
        self->m_source = nullptr;
        self->m_sourceText.clear();
    }
    zwlr_data_control_source_v1_destroy(source);
}
