#include "hotkey_recorder_button.h"

#include "hotkey_config.h"
#include "hotkey_display.h"
#include "page_style.h"
#include "platform_backends.h"
#include "x11/x11_key_map.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <iterator>

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

// The modifier a modifier key adds; Qt may or may not count it in the press's own modifiers.
uint64_t ownModifier(int key)
{
    switch (key) {
    case Qt::Key_Shift: return ModifierFlag::shift;
    case Qt::Key_Control: return ModifierFlag::control;
    case Qt::Key_Alt: return ModifierFlag::option;
    case Qt::Key_Meta: case Qt::Key_Super_L: case Qt::Key_Super_R: return ModifierFlag::command;
    default: return 0;
    }
}

// Virtual key codes of F1-F12: with Ctrl+Alt the X server switches consoles with them.
bool isConsoleKey(int keyCode)
{
    constexpr int codes[] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
    return std::find(std::begin(codes), std::end(codes), keyCode) != std::end(codes);
}

int virtualKeyCode(const QKeyEvent& event)
{
    // On X11 the scan code is the X key code; the key map turns it into the stored code.
    if (event.nativeScanCode() <= 0xFF) {
        if (const std::optional<uint16_t> code = X11KeyMap::virtualKeyCode(uint8_t(event.nativeScanCode())))
            return *code;
    }
    return -1;
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

HotkeyRecorderButton::~HotkeyRecorderButton()
{
    stopRecording();
}

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
    m_pressed.clear();
    m_heldModifiers = m_chordModifiers = 0;
    // Every key press of the application comes past here first; only those of this window
    // are taken. On X11 the keys of this window are also held against global hotkeys (ours
    // included, so they can be recorded again), for as long as the window has the focus.
    qApp->installEventFilter(this);
    if (isVisible() && window()->isActiveWindow()) {
        if (!m_keys) {
            m_keys = makeRecorderKeys();
            if (m_keys)
                connect(m_keys.get(), &RecorderKeys::lost, this, &HotkeyRecorderButton::stopRecording);
        }
        if (m_keys)
            m_keys->take(window()->winId());
    }
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
    if (m_keys)
        m_keys->giveBack();
    updateGeometry();
    update();
    emit isRecordingChanged(false);
}

bool HotkeyRecorderButton::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate && watched == window()) {
        stopRecording();
        return false;
    }
    // Keys reach a window first and then its focused widget: taken there, in this window only.
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != window())
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so no shortcut of the sheet (Ctrl+Return, Escape) fires instead.
        event->accept();
        return true;
    case QEvent::KeyPress:
        handleKeyPress(*static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::KeyRelease:
        handleKeyRelease(*static_cast<QKeyEvent*>(event));
        return true;
    default:
        return false;
    }
}

void HotkeyRecorderButton::handleKeyPress(const QKeyEvent& event)
{
    const int keyCode = virtualKeyCode(event);
    m_pressed.insert(event.nativeScanCode());
    if (const uint64_t own = ownModifier(event.key())) {
        const uint64_t held = (modifierFlags(event.modifiers()) | own) & modifierMask;
        m_chordModifiers = m_heldModifiers ? m_chordModifiers | held : held;
        m_heldModifiers = held;
    }
    if (event.key() == Qt::Key_Escape || keyCode == escapeKeyCode) {
        stopRecording();
        return;
    }
    const uint64_t flags = modifierFlags(event.modifiers()) & modifierMask;
    if (flags == 0 || isModifierKey(event.key()))
        return;
    takeCombination(keyCode, flags);
}

void HotkeyRecorderButton::takeCombination(int keyCode, uint64_t flags)
{
    const QString problem = keyCode < 0 ? QStringLiteral("This key cannot be a global shortcut")
                            : m_check  ? m_check(uint16_t(keyCode), flags)
                                       : QString();
    if (!problem.isEmpty()) {
        emit refused(problem);
        return;
    }
    stopRecording();
    emit recorded(uint16_t(keyCode), flags);
}

void HotkeyRecorderButton::handleKeyRelease(const QKeyEvent& event)
{
    if (const uint64_t own = ownModifier(event.key())) {
        m_heldModifiers = modifierFlags(event.modifiers()) & modifierMask & ~own;
        return;
    }
    // Ctrl+Alt+F1 to F12 switch consoles: the server keeps the press (no window and no grab
    // sees it) and lets only the release through, which stands in for the press here. The
    // hotkeys fire from the raw press all the same.
    const int keyCode = virtualKeyCode(event);
    const uint64_t flags = m_chordModifiers | (modifierFlags(event.modifiers()) & modifierMask);
    const uint64_t controlAlt = ModifierFlag::control | ModifierFlag::option;
    if (m_pressed.contains(event.nativeScanCode()) || !isConsoleKey(keyCode) || (flags & controlAlt) != controlAlt)
        return;
    takeCombination(keyCode, flags);
}

void HotkeyRecorderButton::keyPressEvent(QKeyEvent* event)
{
    // Space with modifiers is a shortcut meant for somewhere else (often the palette hotkey
    // just replaced, still under the user's fingers), not a press of the focused button.
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        event->ignore();
        return;
    }
    QAbstractButton::keyPressEvent(event);
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
