#include "typing_permission_row.h"

#include "page_style.h"
#include "portal/portal_keyboard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace PageStyle;

TypingPermissionRow::TypingPermissionRow(PortalKeyboard& keyboard, QWidget* parent)
    : QWidget(parent),
      m_keyboard(keyboard),
      m_symbol(new SymbolLabel(QStringLiteral("checkmark.circle.fill"), Tint::green, 13, {16, 16})),
      m_state(label(QString(), TextStyle::caption)),
      m_askAgain(new QPushButton(QStringLiteral("Ask Again")))
{
    setObjectName(QStringLiteral("typingPermissionRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_symbol);
    m_state->setObjectName(QStringLiteral("typingPermissionState"));
    layout->addWidget(m_state);
    layout->addSpacing(8);
    m_askAgain->setObjectName(QStringLiteral("askAgainButton"));
    m_askAgain->setAutoDefault(false);
    layout->addWidget(m_askAgain);
    connect(m_askAgain, &QPushButton::clicked, &m_keyboard, &PortalKeyboard::askAgainNow);
    connect(&m_keyboard, &PortalKeyboard::stateChanged, this, &TypingPermissionRow::showState);
    showState();
}

QString TypingPermissionRow::stateText() const
{
    return m_state->text();
}

void TypingPermissionRow::showState()
{
    QString text;
    QString symbol;
    Tint tint = Tint::secondary;
    switch (m_keyboard.state()) {
    case PortalKeyboard::State::notAsked:
        text = QStringLiteral("Not asked yet");
        symbol = QStringLiteral("questionmark.circle");
        break;
    case PortalKeyboard::State::remembered:
    case PortalKeyboard::State::granted:
        text = QStringLiteral("Allowed");
        symbol = QStringLiteral("checkmark.circle.fill");
        tint = Tint::green;
        break;
    case PortalKeyboard::State::refused:
        text = QStringLiteral("Refused");
        symbol = QStringLiteral("xmark.circle.fill");
        tint = Tint::red;
        break;
    case PortalKeyboard::State::failed:
        text = QStringLiteral("Portal missing");
        symbol = QStringLiteral("exclamationmark.triangle");
        tint = Tint::red;
        break;
    }
    m_symbol->setSymbol(symbol, tint);
    m_state->setText(text);
    setTextTint(m_state, tint);
    // The desktop's reason, where it gave one.
    m_state->setToolTip(m_keyboard.problem());
}
