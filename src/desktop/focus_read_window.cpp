#include "focus_read_window.h"

#include "wayland/wayland_accessibility_backend.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace {
constexpr int padding = 16;
constexpr int windowHeight = 40;
}

FocusReadWindow::FocusReadWindow()
{
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setTitle(QStringLiteral("Tovalin"));
    const QFontMetrics metrics(QGuiApplication::font());
    resize(metrics.horizontalAdvance(QString::fromUtf8(label)) + 2 * padding, windowHeight);
}

void FocusReadWindow::showForRead()
{
    // Mapped under the palette's app_id: float rules name it, and the Wayland backend does
    // not take it for the window the user works in.
    const QString applicationId = QGuiApplication::desktopFileName();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(WaylandAccessibilityBackend::paletteAppId));
    show();
    QGuiApplication::setDesktopFileName(applicationId);
    requestActivate();
}

void FocusReadWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette palette = QGuiApplication::palette();
    painter.fillRect(QRect(QPoint(), size()), palette.color(QPalette::Window));
    // Frameless: an edge of its own keeps it apart from a window of the same colour.
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawRect(QRect(QPoint(), size()).adjusted(0, 0, -1, -1));
    painter.setPen(palette.color(QPalette::WindowText));
    painter.setFont(QGuiApplication::font());
    painter.drawText(QRect(QPoint(), size()), Qt::AlignCenter, QString::fromUtf8(label));
}
