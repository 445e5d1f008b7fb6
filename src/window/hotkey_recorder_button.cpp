#include "hotkey_recorder_button.h"

#include "hotkey_config.h"
#include "hotkey_display.h"
#include "page_style.h"
#include "x11/x11_key_map.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

namespace {

uint64_t modifierFlags(Qt::KeyboardModifiers modifiers)
{
    uint64_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlag::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlag::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlag::option;
    if (modifiers & Qt::MetaModifier) // Super on X11
        flags |= ModifierFlag::command;
    return flags;
}

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Meta: case Qt::Key_Alt:
    case Qt::Key_AltGr: case Qt::Key_Super_L: case Qt::Key_Super_R: case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R: case Qt::Key_CapsLock: case Qt::Key_NumLock: case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

} // namespace

HotkeyRecorderButton::HotkeyRecorderButton(Look look, QWidget* parent) : QAbstractButton(parent), m_look(look)
{
    setCursor(Qt::PointingHandCursor);
    setFont(PageStyle::font(PageStyle::TextStyle::body, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_isRecording)
            stopRecording();
        else
            startRecording();
    });
}

HotkeyRecorderButton::~HotkeyRecorderButton() { stopRecording(); }

void HotkeyRecorderButton::setDisplayString(const QString& displayString)
{
    m_displayString = displayString;
    updateGeometry();
    update();
}

void HotkeyRecorderButton::setPlaceholder(const QString& placeholder)
{
    m_placeholder = placeholder;
    updateGeometry();
    update();
}

QString HotkeyRecorderButton::labelText() const
{
    if (m_isRecording)
        return QStringLiteral("Press keys...");
    return m_displayString.isEmpty() ? m_placeholder : HotkeyDisplay::linuxLabel(m_displayString);
}

void HotkeyRecorderButton::startRecording()
{
    if (m_isRecording)
        return;
    m_isRecording = true;
    // Every key press of the application comes past here first. On X11 the keyboard grab
    // also wins over Tovalin's own global hotkeys, so they can be recorded again.
    qApp->installEventFilter(this);
    if (isVisible())
        grabKeyboard();
    updateGeometry();
    update();
    emit isRecordingChanged(true);
}

void HotkeyRecorderButton::stopRecording()
{
    if (!m_isRecording)
        return;
    m_isRecording = false;
    qApp->removeEventFilter(this);
    releaseKeyboard();
    updateGeometry();
    update();
    emit isRecordingChanged(false);
}

bool HotkeyRecorderButton::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so no shortcut of the sheet (Ctrl+Return, Escape) fires instead.
        event->accept();
        return true;
    case QEvent::KeyPress:
        handleKeyPress(*static_cast<QKeyEvent*>(event));
        return true;
    default:
        return false;
    }
}

void HotkeyRecorderButton::handleKeyPress(const QKeyEvent& event)
{
    // On X11 the scan code is the X key code; the key map turns it into the stored code.
    int keyCode = -1;
    if (event.nativeScanCode() <= 0xFF) {
        if (const std::optional<uint16_t> code = X11KeyMap::virtualKeyCode(uint8_t(event.nativeScanCode())))
            keyCode = *code;
    }
    if (event.key() == Qt::Key_Escape || keyCode == escapeKeyCode) {
        stopRecording();
        return;
    }
    const uint64_t flags = modifierFlags(event.modifiers()) & modifierMask;
    if (flags == 0 || isModifierKey(event.key()) || keyCode < 0)
        return;
    stopRecording();
    emit recorded(uint16_t(keyCode), flags);
}

void HotkeyRecorderButton::hideEvent(QHideEvent* event)
{
    stopRecording();
    QAbstractButton::hideEvent(event);
}

QSize HotkeyRecorderButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(labelText()) + 2 * m_look.paddingX + 2, fm.height() + 2 * m_look.paddingY};
}

void HotkeyRecorderButton::paintEvent(QPaintEvent*)
{
    const PageStyle::Colors c = PageStyle::Colors::from(palette());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal inset = m_isRecording ? m_look.strokeWidth / 2 : 0;
    const QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    p.setPen(m_isRecording ? QPen(c.orange, m_look.strokeWidth) : Qt::NoPen);
    p.setBrush(m_isRecording ? PageStyle::withOpacity(c.orange, m_look.recordingFillOpacity)
                             : PageStyle::withOpacity(c.secondary, 0.1));
    p.drawRoundedRect(r, m_look.radius, m_look.radius);
    const bool quiet = !m_isRecording && m_displayString.isEmpty();
    p.setPen(m_isRecording ? c.orange : quiet ? c.secondary : c.primary);
    p.setFont(quiet ? PageStyle::font(PageStyle::TextStyle::body) : font());
    p.drawText(rect(), Qt::AlignCenter, labelText());
}
