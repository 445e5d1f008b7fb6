#pragma once

#include <QWidget>

class PortalKeyboard;
class QLabel;
class QPushButton;
class SymbolLabel;

// The trailing end of the Settings row for typing through the RemoteDesktop portal: what
// the desktop answered (not asked yet, allowed, refused, portal missing) and "Ask Again",
// which forgets the remembered answer and has the desktop ask now.
class TypingPermissionRow : public QWidget {
    Q_OBJECT
public:
    explicit TypingPermissionRow(PortalKeyboard& keyboard, QWidget* parent = nullptr);

    QString stateText() const;
    QPushButton* askAgainButton() const { return m_askAgain; }

private:
    void showState();

    PortalKeyboard& m_keyboard;
    SymbolLabel* m_symbol;
    QLabel* m_state;
    QPushButton* m_askAgain;
};
