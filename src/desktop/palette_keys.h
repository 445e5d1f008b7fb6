#pragma once

#include <QObject>

// Takes the keys the palette answers to (Up, Down, Return, Escape) away from the
// window that has the focus while the palette is shown; every other key still goes
// to that window, and the focus never moves.
class PaletteKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // False when they cannot be taken (another program holds one of them).
    virtual bool take() = 0;
    virtual void giveBack() = 0;

signals:
    // Qt::Key_Up, Qt::Key_Down, Qt::Key_Return or Qt::Key_Escape.
    void keyPressed(int key);
};
