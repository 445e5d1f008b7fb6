#include "overlay_panel.h"

#include "app_state.h"
#include "overlay_geometry.h"
#include "overlay_view.h"
#include "palette_keys.h"
#include "wayland/wayland_accessibility_backend.h"

#include <QCursor>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QFontDatabase>
#include <QImage>
#include <QKeyEvent>
#include <QPainterPath>
#include <QPointer>
#include <QPropertyAnimation>
#include <QRegion>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace {
// The ease-out and ease-in timing curves of the platform animations this fade copies.
QEasingCurve bezier(QPointF c1, QPointF c2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(c1, c2, QPointF(1, 1));
    return curve;
}
} // namespace

OverlayPanel::OverlayPanel(AppState& appState, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint),
      m_appState(appState),
      m_view(new OverlayView(appState, this)),
      m_fade(new QPropertyAnimation(this, "windowOpacity", this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Tovalin"));
    resize(300, 300);

    m_view->setGeometry(rect());
    setFocusProxy(m_view);

    connect(m_view, &OverlayView::closeRequested, this, &OverlayPanel::hideOverlay);
    connect(m_view, &OverlayView::sizeChanged, this, &OverlayPanel::fitToPalette);
    connect(m_fade, &QPropertyAnimation::finished, this, &OverlayPanel::onFadeFinished);
}

void OverlayPanel::setTranslucent(bool translucent)
{
    m_view->setTranslucent(translucent);
    updateShape();
}

bool OverlayPanel::isTranslucent() const { return m_view->isTranslucent(); }

void OverlayPanel::updateShape()
{
    if (m_view->isTranslucent()) {
        clearMask();
        return;
    }
    // Without a compositor the transparent corners would show black: cut them off.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), OverlayView::cornerRadius, OverlayView::cornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void OverlayPanel::showOverlay()
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;

    m_fade->stop();
    if (m_phase == Phase::hidden || m_phase == Phase::fadingOut)
        m_view->resetSelection();
    ++m_showing;

    m_screen = screen;
    m_view->setMaximumPaletteHeight(screen->availableGeometry().height() / 2);
    m_view->setMaximumListHeight(overlayMaximumHeight(screen->availableGeometry().height()));
    fitToPalette();
    setWindowOpacity(0.0);

    m_phase = Phase::fadingIn;
    m_awaitingFirstPaint = true;
    showMapped();
    raise();
    update(); // a panel already on screen still owes its shown() a paint
    m_view->setFocus(Qt::OtherFocusReason);
    // A window that is not mapped yet cannot take the grab; the first paint tries again.
    grabKeyboardNow();

    m_fade->setDuration(fadeInMs);
    m_fade->setEasingCurve(bezier(QPointF(0, 0), QPointF(0.58, 1)));
    m_fade->setStartValue(0.0);
    // The user's opacity setting, never so low that the palette cannot be read.
    m_fade->setEndValue(std::clamp(m_appState.settings().overlayOpacity, 0.3, 1.0));
    m_fade->start();
}

void OverlayPanel::fitToPalette()
{
    if (!m_screen)
        return;
    const QRect palette = overlayGeometry(m_view->paletteSizeHint(), m_screen->availableGeometry());
    setGeometry(palette.marginsAdded(m_view->shadowMargins()));
}

void OverlayPanel::hideOverlay()
{
    if (m_phase == Phase::fadingOut)
        return;
    releaseKeyboardNow();
    m_fade->stop();
    if (m_phase == Phase::hidden) {
        onFadeFinished();
        return;
    }
    m_phase = Phase::fadingOut;
    m_fade->setDuration(fadeOutMs);
    m_fade->setEasingCurve(bezier(QPointF(0.42, 0), QPointF(1, 1)));
    m_fade->setStartValue(windowOpacity());
    m_fade->setEndValue(0.0);
    m_fade->start();
}

void OverlayPanel::onFadeFinished()
{
    if (m_phase == Phase::fadingIn) {
        m_phase = Phase::shown;
        return;
    }
    if (m_phase != Phase::fadingOut && m_phase != Phase::hidden)
        return;
    m_phase = Phase::hidden;
    m_awaitingFirstPaint = false;
    // Taken before hidden() is emitted: a slot may already start the next showing.
    const quint64 showing = m_showing;
    hide();
    emit hidden();
    // The store is reset on a later turn of the event loop, after the window is gone.
    QPointer<OverlayPanel> self(this);
    AppState* state = &m_appState;
    QMetaObject::invokeMethod(
        state,
        [self, showing, state] {
            if (self && self->m_showing != showing)
                return;
            state->closeOverlay();
        },
        Qt::QueuedConnection);
}

void OverlayPanel::warmUp()
{
    winId();
    (void)QFontDatabase::families();
}

void OverlayPanel::setPaletteKeys(PaletteKeys* keys)
{
    m_paletteKeys = keys;
}

void OverlayPanel::grabKeyboardNow()
{
    if (m_keyboardGrabbed)
        return;
    // The palette's own grab keeps the type-ahead since the hotkey; Qt's is the fallback.
    // Asked again after the first paint, when the window surely is viewable.
    if (m_paletteKeys && m_paletteKeys->take(winId())) {
        m_paletteKeysTaken = true;
        return;
    }
    if (QWindow* window = windowHandle())
        m_keyboardGrabbed = window->setKeyboardGrabEnabled(true);
}

void OverlayPanel::releaseKeyboardNow()
{
    if (m_paletteKeysTaken) {
        m_paletteKeysTaken = false;
        m_paletteKeys->giveBack();
    }
    if (!m_keyboardGrabbed)
        return;
    m_keyboardGrabbed = false;
    if (QWindow* window = windowHandle())
        window->setKeyboardGrabEnabled(false);
}

void OverlayPanel::resizeEvent(QResizeEvent*)
{
    m_view->setGeometry(rect());
    updateShape();
}

void OverlayPanel::paintEvent(QPaintEvent*)
{
    if (!m_awaitingFirstPaint)
        return;
    m_awaitingFirstPaint = false;
    // Queued, so it runs once this paint has been flushed to the screen.
    QMetaObject::invokeMethod(this, &OverlayPanel::afterFirstPaint, Qt::QueuedConnection);
}

void OverlayPanel::afterFirstPaint()
{
    if (m_phase != Phase::fadingIn && m_phase != Phase::shown)
        return;
    grabKeyboardNow();
    emit shown();
}

void OverlayPanel::showMapped()
{
    // Wayland knows a window by the app_id it is mapped with, and Qt gives every window
    // the application's: the palette maps under its own, so float rules can name it and
    // the Wayland backend can tell it from the window the user works in.
    if (QGuiApplication::platformName() != QLatin1String("wayland") || isVisible()) {
        show();
        return;
    }
    const QString applicationId = QGuiApplication::desktopFileName();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(WaylandAccessibilityBackend::paletteAppId));
    show();
    QGuiApplication::setDesktopFileName(applicationId);
}
