#pragma once

#include "recorder_keys.h"
#include "x11_display.h"

#include <QAbstractNativeEventFilter>
#include <memory>

// A synchronous keyboard grab on the recorder's window: the server hands over one key event
// at a time and waits. A key that finds the input focus in our window goes on to the
// recorder; the first one typed after the focus went elsewhere is given back to the server,
// which delivers it as if we had never grabbed, and the grab ends with it. So a key typed
// into another program right after a click there still reaches that program.
class X11RecorderKeys : public RecorderKeys, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11RecorderKeys(std::shared_ptr<X11Display> display, QObject* parent = nullptr);
    ~X11RecorderKeys() override;

    bool take(quint64 window) override;
    void giveBack() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool focusIsOurs() const;
    void release();

    std::shared_ptr<X11Display> m_display;
    uint32_t m_window = 0;  // the grab window while the grab is held
    bool m_taken = false;   // between take() and giveBack()
};
