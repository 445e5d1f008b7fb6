#pragma once

#include "wayland_parts.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

class WaylandConnection;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// PRIMARY and CLIPBOARD through data-control: read and set without the focus, and told of
// every change. ext-data-control-v1 carries the same messages as wlr data-control version 2
// under a standard name, so one code path speaks both.
class WaylandDataControl : public QObject {
    Q_OBJECT
public:
    // How long the owner of a selection may take to hand its text over.
    static constexpr std::chrono::milliseconds readWait{1000};
    // Read no further: far over the largest text a run takes, which is then refused with
    // its size as on X11.
    static constexpr qsizetype readLimit = 64 * 1024 * 1024;

    // Null when the flavour is not offered, or there is no seat.
    static std::unique_ptr<WaylandDataControl> create(WaylandConnection& connection, WaylandParts::Selection flavour);
    ~WaylandDataControl() override;

    std::optional<QString> primaryText();
    std::optional<QString> clipboardText();
    void setClipboardText(const QString& text);
    void clearClipboard();

signals:
    void primaryChanged();
    void clipboardChanged();
    // Another program has been handed the text we put on the clipboard.
    void clipboardFetched();

private:
    WaylandDataControl(WaylandConnection& connection, zwlr_data_control_manager_v1* manager);
    std::optional<QString> read(zwlr_data_control_offer_v1* offer);
    void replaceOffer(zwlr_data_control_offer_v1*& current, zwlr_data_control_offer_v1* offer);
    void dropSource();

    static void onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onFinished(void* data, zwlr_data_control_device_v1*);
    static void onPrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onOfferMimeType(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType);
    static void onSend(void* data, zwlr_data_control_source_v1* source, const char* mimeType, int32_t fd);
    static void onCancelled(void* data, zwlr_data_control_source_v1* source);

    WaylandConnection& m_connection;
    zwlr_data_control_manager_v1* m_manager;
    zwlr_data_control_device_v1* m_device = nullptr;
    QHash<zwlr_data_control_offer_v1*, QStringList> m_mimeTypes;
    zwlr_data_control_offer_v1* m_primary = nullptr;
    zwlr_data_control_offer_v1* m_clipboard = nullptr;
    // What we put on the clipboard, served from here: reading our own offer back through
    // the compositor would wait for ourselves.
    zwlr_data_control_source_v1* m_source = nullptr;
    QByteArray m_sourceText;
};
