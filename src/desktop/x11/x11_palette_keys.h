#pragma once

#include "palette_keys.h"
#include "x11_display.h"
#include "x11_keyboard_grab.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <memory>

// The palette's side of the keyboard grab: reads the keys that arrive under it.
class X11PaletteKeys : public PaletteKeys, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Type-ahead beyond this is dropped; nobody types more before the palette is up.
    static constexpr int typeAheadLimit = 16;

    X11PaletteKeys(std::shared_ptr<X11Display> display, std::shared_ptr<X11KeyboardGrab> grab,
                   QObject* parent = nullptr);
    ~X11PaletteKeys() override;

    bool take() override;
    void giveBack() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void deliverTypeAhead();

    std::shared_ptr<X11Display> m_display;
    std::shared_ptr<X11KeyboardGrab> m_grab;
    bool m_taken = false;
    QList<int> m_typeAhead;
};
