#include "undo_bar.h"

#include "page_style.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <utility>

UndoBar::UndoBar(QWidget* parent)
    : QWidget(parent), m_message(PageStyle::label(QString(), PageStyle::TextStyle::body)), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("undoBar"));
    auto* card = new CardFrame(CardFrame::Fill::tertiary, 8, this);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(12, 6, 12, 10);
    outer->addWidget(card);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 6, 8, 6);
    m_message->setObjectName(QStringLiteral("undoMessage"));
    row->addWidget(m_message, 1);
    auto* button = new QPushButton(tr("Undo"), card);
    button->setObjectName(QStringLiteral("undoButton"));
    button->setAutoDefault(false);
    row->addWidget(button);
    connect(button, &QPushButton::clicked, this, &UndoBar::undo);
    // Bound to the bar, the shortcut only acts while the bar shows.
    auto* shortcut = new QShortcut(QKeySequence::Undo, this);
    connect(shortcut, &QShortcut::activated, this, &UndoBar::undo);
    m_timer->setSingleShot(true);
    m_timer->setInterval(shownMs);
    connect(m_timer, &QTimer::timeout, this, &UndoBar::withdraw);
    hide();
}

void UndoBar::offer(const QString& message, std::function<void()> undo)
{
    m_undo = std::move(undo);
    m_message->setText(message);
    m_timer->start();
    show();
    qApp->installEventFilter(this);
}

void UndoBar::undo()
{
    const std::function<void()> action = std::exchange(m_undo, nullptr);
    withdraw();
    if (action)
        action();
}

bool UndoBar::eventFilter(QObject* watched, QEvent* event)
{
    // A field with nothing of its own to undo (the search field that took the focus from
    // the button just pressed) lets Ctrl+Z through to the bar.
    if (event->type() != QEvent::ShortcutOverride || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo))
        return false;
    const auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field || field->window() != window() || field->isUndoAvailable())
        return false;
    event->ignore();
    return true;
}

void UndoBar::withdraw()
{
    qApp->removeEventFilter(this);
    m_timer->stop();
    m_undo = nullptr;
    hide();
}
