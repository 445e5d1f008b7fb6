#include "wayland_input_serial.h"

#include "signal_or_timeout.h"
#include "wayland_virtual_keyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <memory>

QCoro::Task<> WaylandInputSerial::obtain(WaylandVirtualKeyboard& keyboard)
{
    std::unique_ptr<WaylandInputSerial> watcher(new WaylandInputSerial);
    QCoreApplication::instance()->installEventFilter(watcher.get());
    keyboard.chord({}, WaylandKeymap::Key::shift);
    co_await SignalOrTimeout(watcher.get(), &WaylandInputSerial::keySeen, waitLimit);
}

bool WaylandInputSerial::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Shift)
        emit keySeen();
    return QObject::eventFilter(watched, event);
}
