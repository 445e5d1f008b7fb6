#include "theme_applier.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

ThemeApplier::ThemeApplier()
    : m_systemPalette(QApplication::palette()),
      m_systemStyle(QApplication::style() ? QApplication::style()->name() : QString())
{
}

namespace {
struct Scheme {
    QColor window, text, base, alternateBase, placeholder, button, highlight, tooltip, link, mid, disabled;
};

QPalette paletteFor(const Scheme& c)
{
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, c.text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternateBase);
    p.setColor(QPalette::PlaceholderText, c.placeholder);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, c.tooltip);
    p.setColor(QPalette::Link, c.link);
    p.setColor(QPalette::Mid, c.mid);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c.disabled);
    return p;
}
} // namespace

QPalette ThemeApplier::lightPalette()
{
    return paletteFor({QColor(0xF5F5F7), QColor(0x1D1D1F), Qt::white, QColor(0xEEEEF0), QColor(0x86868B),
                       QColor(0xFBFBFD), QColor(0x0A84FF), Qt::white, QColor(0x0A84FF), QColor(0xC7C7CC),
                       QColor(0xAEAEB2)});
}

QPalette ThemeApplier::darkPalette()
{
    return paletteFor({QColor(0x1E1E20), QColor(0xF2F2F7), QColor(0x2C2C2E), QColor(0x262628), QColor(0x8E8E93),
                       QColor(0x3A3A3C), QColor(0x0A84FF), QColor(0x2C2C2E), QColor(0x409CFF), QColor(0x48484A),
                       QColor(0x636366)});
}

void ThemeApplier::apply(AppTheme theme)
{
    switch (theme) {
    case AppTheme::system:
        if (!m_systemStyle.isEmpty())
            QApplication::setStyle(QStyleFactory::create(m_systemStyle));
        QApplication::setPalette(m_systemPalette);
        break;
    case AppTheme::light:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(lightPalette());
        break;
    case AppTheme::dark:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
        break;
    }
}
