#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <chrono>

class WaylandVirtualKeyboard;

// wlroots lets a client take the clipboard only with the serial of an input event it was
// sent; Qt has none to give for a window that has just taken the focus and seen no key. A
// Shift tapped through Tovalin's own virtual keyboard is such an event, harmless anywhere.
class WaylandInputSerial : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds waitLimit{300};

    // Taps Shift and returns once a window of Tovalin's has had the key, or after the limit.
    static QCoro::Task<> obtain(WaylandVirtualKeyboard& keyboard);

signals:
    void keySeen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
