#include "overlay_view.h"

#include "app_state.h"
#include "overlay_colors.h"
#include "overlay_command_row.h"
#include "overlay_shadow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

OverlayView::OverlayView(AppState& appState, QWidget* parent)
    : QWidget(parent), m_appState(appState)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&m_appState, &AppState::commandsChanged, this, [this] {
        updateGeometry();
        update();
    });
}

QList<Command> OverlayView::enabledCommands() const
{
    QList<Command> enabled;
    for (const Command& command : m_appState.commands())
        if (command.isEnabled)
            enabled.append(command);
    return enabled;
}

void OverlayView::resetSelection()
{
    m_selectedIndex = 0;
    m_pressedCommand.reset();
    update();
}

void OverlayView::setTranslucent(bool translucent)
{
    if (m_translucent == translucent)
        return;
    m_translucent = translucent;
    updateGeometry();
    update();
}

QMargins OverlayView::shadowMargins() const
{
    return m_translucent ? OverlayShadow::margins() : QMargins();
}

QRect OverlayView::paletteRect() const { return rect().marginsRemoved(shadowMargins()); }

QSize OverlayView::paletteSizeHint() const
{
    int width = 0;
    int height = 0;
    for (const Command& command : enabledCommands()) {
        const QSize row = OverlayCommandRow(command, false, font()).sizeHint();
        width = std::max(width, row.width());
        height += row.height();
    }
    return {width + 2 * outerPadding, height + 2 * outerPadding};
}

QSize OverlayView::sizeHint() const { return paletteSizeHint().grownBy(shadowMargins()); }

QList<QRect> OverlayView::rowRects(const QList<Command>& commands) const
{
    const QRect inner = paletteRect().adjusted(outerPadding, outerPadding, -outerPadding, -outerPadding);
    QList<QRect> rects;
    int y = inner.top();
    for (const Command& command : commands) {
        const int height = OverlayCommandRow(command, false, font()).sizeHint().height();
        rects.append(QRect(inner.left(), y, inner.width(), height));
        y += height;
    }
    return rects;
}

QRect OverlayView::rowRect(int index) const
{
    const QList<QRect> rects = rowRects(enabledCommands());
    return index >= 0 && index < rects.size() ? rects[index] : QRect();
}

int OverlayView::rowAt(const QPoint& pos, const QList<Command>& commands) const
{
    const QList<QRect> rects = rowRects(commands);
    for (int i = 0; i < rects.size(); ++i)
        if (rects[i].contains(pos))
            return i;
    return -1;
}

void OverlayView::paintEvent(QPaintEvent*)
{
    const QList<Command> commands = enabledCommands();
    const OverlayColors colors = OverlayColors::from(palette());
    const QRect shape = paletteRect();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_translucent)
        OverlayShadow::paint(painter, shape);

    QPainterPath outline;
    outline.addRoundedRect(QRectF(shape), cornerRadius, cornerRadius);
    painter.fillPath(outline, OverlayColors::withOpacity(palette().color(QPalette::Window),
                                                         m_translucent ? translucentOpacity : 1.0));

    const QList<QRect> rects = rowRects(commands);
    for (int i = 0; i < commands.size(); ++i)
        OverlayCommandRow(commands[i], i == m_selectedIndex, font()).paint(painter, rects[i], palette());

    // Half a pixel inset keeps the hairline inside the shape.
    painter.setPen(QPen(OverlayColors::withOpacity(colors.primary, 0.1), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(shape).adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius,
                            cornerRadius);
}

void OverlayView::keyPressEvent(QKeyEvent* event)
{
    const int count = int(enabledCommands().size());
    switch (event->key()) {
    case Qt::Key_Return:
        if (m_selectedIndex >= 0 && m_selectedIndex < count)
            execute(enabledCommands().at(m_selectedIndex));
        break;
    case Qt::Key_Escape:
        emit closeRequested();
        break;
    case Qt::Key_Down:
        m_selectedIndex = std::max(std::min(m_selectedIndex + 1, count - 1), 0);
        update();
        break;
    case Qt::Key_Up:
        m_selectedIndex = std::max(m_selectedIndex - 1, 0);
        update();
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void OverlayView::mousePressEvent(QMouseEvent* event)
{
    m_pressedCommand.reset();
    if (event->button() != Qt::LeftButton)
        return;
    const QList<Command> commands = enabledCommands();
    const int row = rowAt(event->position().toPoint(), commands);
    if (row >= 0)
        m_pressedCommand = commands[row].id;
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<QUuid> pressed = std::exchange(m_pressedCommand, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed)
        return;
    // Like a button: the release has to land on the row that was pressed.
    const QList<Command> commands = enabledCommands();
    const int row = rowAt(event->position().toPoint(), commands);
    if (row >= 0 && commands[row].id == *pressed)
        execute(commands[row]);
}

void OverlayView::execute(const Command& command)
{
    // Read before closing: the end of the close clears selectedText in the store.
    const QString text = m_appState.selectedText();
    emit closeRequested();
    // Started and let go: the run goes on inside the store after the palette is gone.
    [[maybe_unused]] QCoro::Task<> run = m_appState.executeCommand(command, text);
}
