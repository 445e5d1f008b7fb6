#pragma once

#include <QObject>

// The keyboard while a shortcut is recorded: keys typed into the recorder's window reach it
// even when they are a global hotkey (ours or another program's), and no key typed anywhere
// else is taken. lost() says the recorder's window no longer has the focus.
class RecorderKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // window: the recorder's top-level native window, which has the focus now. False when
    // the keyboard cannot be had (another program holds a grab).
    virtual bool take(quint64 window) = 0;
    virtual void giveBack() = 0;

signals:
    void lost();
};
