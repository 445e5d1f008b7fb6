#include "accessibility_permission_view.h"

#include "page_style.h"
#include "portal/portal_keyboard.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageStyle;

namespace {
// Wrapped text, sized up front: a centred item in a box layout gets no height-for-width.
QLabel* centred(QLabel* label, int width)
{
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setFixedSize(width, label->heightForWidth(width));
    return label;
}
} // namespace

AccessibilityPermissionView::AccessibilityPermissionView(std::function<bool()> checkPermission,
                                                         std::function<void()> openSettings, QWidget* parent)
    : QWidget(parent), m_checkPermission(std::move(checkPermission))
{
    setObjectName(QStringLiteral("accessibilityPermissionView"));
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(24);
    stack->addStretch();

    const QFont handFont = PageStyle::font(64);
    if (QFontMetrics(handFont).inFontUcs4(0x270B)) {
        auto* hand = new QLabel(QStringLiteral("✋"), this);
        hand->setFont(handFont);
        stack->addWidget(hand, 0, Qt::AlignHCenter);
    } else { // no emoji font: the same hand from the symbol font
        stack->addWidget(new SymbolLabel(QStringLiteral("hand.raised"), Tint::orange, 64, {72, 72},
                                         SymbolLabel::Style::plain, this),
                         0, Qt::AlignHCenter);
    }
    // Typing through the desktop's portal was refused: the button has the desktop ask again.
    const PortalKeyboard* keyboard = PortalKeyboard::inUse();
    const bool refused = keyboard && keyboard->state() == PortalKeyboard::State::refused;
    auto* title = new QLabel(refused ? QStringLiteral("Typing Not Allowed") : QStringLiteral("X11 Session Required"), this);
    title->setFont(PageStyle::font(24, QFont::Bold));
    stack->addWidget(title, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(10);
    auto* why = label(refused ? QStringLiteral("Tovalin needs permission to type the answer into your window.")
                              : QStringLiteral("Tovalin needs an X11 session with the XTEST extension to answer its "
                                               "hotkeys, read the text you select and paste over it."),
                      TextStyle::body, QFont::Normal, true, this);
    why->setFont(PageStyle::font(15));
    texts->addWidget(centred(why, 400), 0, Qt::AlignHCenter);
    auto* hint = label(reason(QGuiApplication::platformName()), TextStyle::body, QFont::Normal, true, this);
    hint->setObjectName(QStringLiteral("reasonLabel"));
    texts->addWidget(centred(hint, 440), 0, Qt::AlignHCenter);
    stack->addLayout(texts);

    auto* open = new QPushButton(refused ? QStringLiteral("Ask Again") : QStringLiteral("Open System Settings"), this);
    open->setObjectName(QStringLiteral("openSettingsButton"));
    open->setFixedSize(220, 44);
    open->setCursor(Qt::PointingHandCursor);
    open->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 22px;"
                                       " font-size: 15px; font-weight: 600; }")
                            .arg(Colors::from(palette()).blue.name()));
    connect(open, &QPushButton::clicked, this, [openSettings] {
        if (openSettings)
            openSettings();
    });
    stack->addWidget(open, 0, Qt::AlignHCenter);
    stack->addStretch();

    m_timer.setInterval(checkIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AccessibilityPermissionView::check);
}

QString AccessibilityPermissionView::reason(const QString& platformName)
{
    // Nothing granted while Tovalin runs changes the session: say what to log in to instead.
    const QString todo = QStringLiteral(
        "Log out and log in to an X11 session (\"X11\" or \"Xorg\" on the login screen), or see \"Use it on "
        "Wayland\" in Tovalin's README: bind keys in your desktop's keyboard settings to \"tovalin --palette\" "
        "and \"tovalin --run NAME\".");
    if (platformName == QLatin1String("wayland")) {
        if (const PortalKeyboard* keyboard = PortalKeyboard::inUse();
            keyboard && keyboard->state() == PortalKeyboard::State::refused)
            return QStringLiteral("The desktop did not allow Tovalin to type into your window, so it cannot paste. "
                                  "\"Ask Again\" has the desktop ask you once more.");
        return QStringLiteral("This Wayland compositor offers no virtual keyboard and the session bus no RemoteDesktop "
                              "portal, so Tovalin cannot type into other windows and cannot paste. ") + todo;
    }
    if (platformName != QLatin1String("xcb"))
        return QStringLiteral("This session does not run on X11 (%1), so Tovalin cannot watch for hotkeys or "
                              "send keys to other windows. ").arg(platformName) + todo;
    return QStringLiteral("The X server offers no XTEST extension, so Tovalin cannot send keys to other windows. ")
        + todo;
}

void AccessibilityPermissionView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start();
    check();
}

void AccessibilityPermissionView::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void AccessibilityPermissionView::check()
{
    if (m_checkPermission && m_checkPermission())
        emit permissionGranted();
}
