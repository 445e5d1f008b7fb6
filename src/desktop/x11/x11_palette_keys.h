#pragma once

#include "palette_keys.h"
#include "x11_display.h"

#include <QAbstractNativeEventFilter>
#include <memory>
#include <vector>

// Passive grabs of the palette's four keys on the root window, with every lock-key variant.
class X11PaletteKeys : public PaletteKeys, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11PaletteKeys(std::shared_ptr<X11Display> display, QObject* parent = nullptr);
    ~X11PaletteKeys() override;

    bool take() override;
    void giveBack() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        uint8_t keyCode;
        uint16_t modifiers;
        int key;
    };
    std::shared_ptr<X11Display> m_display;
    std::vector<Grab> m_grabs;
};
