#pragma once

#include <QObject>

// The keyboard, while the palette is up: every key goes to the palette's window as an
// ordinary key event, and the window that has the focus keeps it (so the paste later
// lands there). Keys typed between the palette hotkey and take() are kept and handed
// to the palette, in order, once it takes them.
class PaletteKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // window: the palette's native window. False when the keyboard cannot be had
    // (another program holds a grab).
    virtual bool take(quint64 window) = 0;
    virtual void giveBack() = 0;
};
