#pragma once

#include "palette_keys.h"
#include "x11_display.h"
#include "x11_keyboard_grab.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <array>
#include <memory>

// The palette's side of the keyboard grab. Keys that arrive on the root window (typed
// before the palette could hold the grab itself) are kept, then handed to the palette's
// window as if typed there, so Qt turns them into key events with their text.
class X11PaletteKeys : public PaletteKeys, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Type-ahead beyond this is dropped; nobody types more before the palette is up.
    static constexpr int typeAheadLimit = 64;

    X11PaletteKeys(std::shared_ptr<X11Display> display, std::shared_ptr<X11KeyboardGrab> grab,
                   QObject* parent = nullptr);
    ~X11PaletteKeys() override;

    bool take(quint64 window) override;
    void giveBack() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    using RawEvent = std::array<char, 32>;
    void sendToPalette(RawEvent event) const;

    std::shared_ptr<X11Display> m_display;
    std::shared_ptr<X11KeyboardGrab> m_grab;
    uint32_t m_window = 0;
    QList<RawEvent> m_typeAhead;
};
