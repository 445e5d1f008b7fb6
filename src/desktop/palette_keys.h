#pragma once

#include <QObject>

// The keyboard, while the palette is up: every key goes to Tovalin and the window that
// has the focus keeps it (so the paste later lands there). Keys typed between the palette
// hotkey and take() are kept and handed over once the palette takes them.
class PaletteKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // False when the keyboard cannot be had (another program holds a grab).
    virtual bool take() = 0;
    virtual void giveBack() = 0;

signals:
    // Qt::Key_Up, Qt::Key_Down, Qt::Key_Return or Qt::Key_Escape; other keys are swallowed.
    void keyPressed(int key);
};
