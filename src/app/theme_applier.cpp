#include "theme_applier.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

ThemeApplier::ThemeApplier()
    : m_systemPalette(QApplication::palette()),
      m_systemStyle(QApplication::style() ? QApplication::style()->name() : QString())
{
}

QPalette ThemeApplier::lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xF5, 0xF5, 0xF7));
    p.setColor(QPalette::WindowText, QColor(0x1D, 0x1D, 0x1F));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xEE, 0xEE, 0xF0));
    p.setColor(QPalette::Text, QColor(0x1D, 0x1D, 0x1F));
    p.setColor(QPalette::PlaceholderText, QColor(0x86, 0x86, 0x8B));
    p.setColor(QPalette::Button, QColor(0xFB, 0xFB, 0xFD));
    p.setColor(QPalette::ButtonText, QColor(0x1D, 0x1D, 0x1F));
    p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, Qt::white);
    p.setColor(QPalette::ToolTipText, QColor(0x1D, 0x1D, 0x1F));
    p.setColor(QPalette::Link, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::Mid, QColor(0xC7, 0xC7, 0xCC));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xAE, 0xAE, 0xB2));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0xAE, 0xAE, 0xB2));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xAE, 0xAE, 0xB2));
    return p;
}

QPalette ThemeApplier::darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x20));
    p.setColor(QPalette::WindowText, QColor(0xF2, 0xF2, 0xF7));
    p.setColor(QPalette::Base, QColor(0x2C, 0x2C, 0x2E));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x28));
    p.setColor(QPalette::Text, QColor(0xF2, 0xF2, 0xF7));
    p.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3C));
    p.setColor(QPalette::ButtonText, QColor(0xF2, 0xF2, 0xF7));
    p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x2C, 0x2C, 0x2E));
    p.setColor(QPalette::ToolTipText, QColor(0xF2, 0xF2, 0xF7));
    p.setColor(QPalette::Link, QColor(0x40, 0x9C, 0xFF));
    p.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4A));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x63, 0x63, 0x66));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x63, 0x63, 0x66));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x63, 0x63, 0x66));
    return p;
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
