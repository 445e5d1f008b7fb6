#include "accessibility_permission_view.h"

#include "page_style.h"

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
    auto* title = new QLabel(QStringLiteral("X11 Session Required"), this);
    title->setFont(PageStyle::font(24, QFont::Bold));
    stack->addWidget(title, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(10);
    auto* why = label(QStringLiteral("Tovalin needs an X11 session with the XTEST extension to answer its hotkeys, "
                                     "read the text you select and paste over it."),
                      TextStyle::body, QFont::Normal, true, this);
    why->setFont(PageStyle::font(15));
    texts->addWidget(centred(why, 400), 0, Qt::AlignHCenter);
    auto* hint = label(reason(QGuiApplication::platformName()), TextStyle::body, QFont::Normal, true, this);
    hint->setObjectName(QStringLiteral("reasonLabel"));
    texts->addWidget(centred(hint, 440), 0, Qt::AlignHCenter);
    stack->addLayout(texts);

    auto* open = new QPushButton(QStringLiteral("Open System Settings"), this);
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
    // Running natively here means the compositor offers no virtual keyboard (GNOME, KDE Plasma).
    if (platformName == QLatin1String("wayland"))
        return QStringLiteral("This Wayland compositor lets no program type into other windows (GNOME and KDE Plasma "
                              "offer portals, which Tovalin does not use yet), so Tovalin cannot paste. ") + todo;
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
