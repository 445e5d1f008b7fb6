#include "overlay_view.h"

#include "app_state.h"
#include "overlay_colors.h"
#include "overlay_command_row.h"
#include "overlay_shadow.h"

#include "ai_error.h"
#include "command_library.h"
#include "selection_access.h"

#include <QClipboard>
#include <QCoro/QCoroSignal>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QVariantAnimation>
#include <QWheelEvent>
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
        m_rows.reset();
        m_idealWidth.reset();
        // The highlight stays where it was, even past a list that shrank: Return then runs
        // nothing rather than a command the user did not pick.
        m_firstRow = std::clamp(m_firstRow, 0, std::max(int(cachedRows().size()) - rowsThatFit(), 0));
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

const QList<PaletteQuery::Row>& OverlayView::cachedRows() const
{
    if (!m_rows)
        m_rows = m_query.rows(enabledCommands());
    return *m_rows;
}

void OverlayView::queryChanged()
{
    m_rows.reset();
    m_selectedIndex = 0;
    m_firstRow = 0;
}

int OverlayView::rowsThatFit() const
{
    const int room = m_maximumListHeight - 2 * outerPadding - (m_query.isEmpty() ? 0 : queryLineHeight);
    return std::max(1, room / OverlayCommandRow::height(font()));
}

int OverlayView::visibleRowCount() const
{
    return std::min(int(cachedRows().size()) - m_firstRow, rowsThatFit());
}

void OverlayView::setMaximumListHeight(int height)
{
    m_maximumListHeight = height;
    // The highlighted row stays in view.
    m_firstRow = std::clamp(m_firstRow, std::max(m_selectedIndex - rowsThatFit() + 1, 0), std::max(m_selectedIndex, 0));
}

void OverlayView::select(int index)
{
    const int count = int(cachedRows().size());
    m_selectedIndex = std::clamp(index, 0, std::max(count - 1, 0));
    const int fit = rowsThatFit();
    if (m_selectedIndex < m_firstRow)
        m_firstRow = m_selectedIndex;
    else if (m_selectedIndex >= m_firstRow + fit)
        m_firstRow = m_selectedIndex - fit + 1;
    m_firstRow = std::clamp(m_firstRow, 0, std::max(count - fit, 0));
}

void OverlayView::resetSelection()
{
    m_pressedCommand.reset();
    if (!m_query.isEmpty()) {
        m_query.clear();
        m_rows.reset();
    }
    m_selectedIndex = 0;
    m_firstRow = 0;
    ++m_reviewRun; // an answer still on its way belongs to a palette that is gone
    setMode(Mode::choosing);
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

int OverlayView::listTop() const
{
    return paletteRect().top() + outerPadding + (m_query.isEmpty() ? 0 : queryLineHeight);
}

int OverlayView::idealWidth() const
{
    if (m_idealWidth)
        return *m_idealWidth;
    // The width follows every enabled command, so typing does not make the palette jump.
    // Past a few hundred commands only the longest names are measured: the widest row is
    // among them, and a huge list still opens at once.
    constexpr qsizetype measured = 300;
    QList<Command> commands = enabledCommands();
    const auto longer = [](const Command& a, const Command& b) {
        const auto length = [](const Command& c) {
            return std::min(c.name.size(), Command::maxNameLength) + (OverlayCommandRow::hasBadge(c) ? 12 : 0);
        };
        return length(a) > length(b);
    };
    if (commands.size() > measured) {
        std::nth_element(commands.begin(), commands.begin() + measured, commands.end(), longer);
        commands.resize(measured);
    }
    int width = 0;
    for (const Command& command : std::as_const(commands))
        width = std::max(width, OverlayCommandRow(command, false, font()).sizeHint().width());
    // Names that long are elided anyway; the palette stays a palette.
    m_idealWidth = std::min(width, maximumIdealWidth);
    return *m_idealWidth;
}

QSize OverlayView::paletteSizeHint() const
{
    int width = idealWidth();
    int height = 0;
    if (m_mode == Mode::choosing) {
        if (!m_query.isEmpty())
            height += queryLineHeight;
        height += std::max(visibleRowCount(), 0) * OverlayCommandRow::height(font());
    } else {
        width = std::max(width, 360);
        height = reviewTitleHeight + reviewContentHeight() + hintLineHeight;
    }
    // "Overlay Width" sets the palette's width; a row that needs more still gets it.
    const int chosen = int(std::clamp(m_appState.settings().overlayWidth, 0.0, 4000.0));
    return {std::max(width + 2 * outerPadding, chosen), height + 2 * outerPadding};
}

QSize OverlayView::sizeHint() const { return paletteSizeHint().grownBy(shadowMargins()); }

QRect OverlayView::rowRect(int index) const
{
    if (index < m_firstRow || index >= m_firstRow + visibleRowCount())
        return {};
    const QRect inner = paletteRect().adjusted(outerPadding, outerPadding, -outerPadding, -outerPadding);
    const int height = OverlayCommandRow::height(font());
    return {inner.left(), listTop() + (index - m_firstRow) * height, inner.width(), height};
}

int OverlayView::rowAt(const QPoint& pos) const
{
    if (m_mode != Mode::choosing)
        return -1;
    const int first = rowRect(m_firstRow).top();
    const int index = m_firstRow + (pos.y() - first) / OverlayCommandRow::height(font());
    return pos.y() >= first && rowRect(index).contains(pos) ? index : -1;
}

void OverlayView::paintEvent(QPaintEvent*)
{
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

    const QRect inner = shape.adjusted(outerPadding, outerPadding, -outerPadding, -outerPadding);
    if (m_mode == Mode::choosing) {
        if (!m_query.isEmpty())
            paintQueryLine(painter, QRect(inner.left(), inner.top(), inner.width(), queryLineHeight));
        const QList<PaletteQuery::Row>& list = cachedRows();
        for (int i = m_firstRow; i < m_firstRow + visibleRowCount(); ++i)
            OverlayCommandRow(list[i].command, i == m_selectedIndex, font()).paint(painter, rowRect(i), palette());
    } else {
        paintReview(painter, inner);
    }

    // Half a pixel inset keeps the hairline inside the shape.
    painter.setPen(QPen(OverlayColors::withOpacity(colors.primary, 0.1), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(shape).adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius,
                            cornerRadius);
}

void OverlayView::paintQueryLine(QPainter& painter, const QRect& rect) const
{
    const OverlayColors colors = OverlayColors::from(palette());
    QFont font = this->font();
    font.setPixelSize(15);
    painter.setFont(font);
    const QRect text = rect.adjusted(OverlayCommandRow::paddingX, 0, -OverlayCommandRow::paddingX, -6);
    const QFontMetrics fm(font);
    // The end of a long line stays in view, next to the caret.
    QString shown = m_query.text();
    while (shown.size() > 1 && fm.horizontalAdvance(shown) > text.width() - 4)
        shown.remove(0, 1);
    painter.setPen(colors.primary);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
    const int caretX = text.left() + fm.horizontalAdvance(shown) + 1;
    painter.fillRect(QRect(caretX, text.center().y() - fm.height() / 2, 2, fm.height()), colors.accent);
    painter.fillRect(QRect(rect.left(), rect.bottom() - 3, rect.width(), 1),
                     OverlayColors::withOpacity(colors.secondary, 0.3));
}

int OverlayView::reviewContentHeight() const
{
    if (m_mode == Mode::working)
        return busyHeight;
    QFont font = this->font();
    font.setPixelSize(13);
    const int width = std::max(paletteRect().width(), 360) - 2 * outerPadding - 2 * OverlayCommandRow::paddingX;
    const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, width, 100000),
                                                         Qt::TextWordWrap, m_outcome);
    const int cap = std::max(120, m_maximumHeight - reviewTitleHeight - hintLineHeight - 2 * outerPadding);
    return std::clamp(needed.height() + 16, 48, cap);
}

void OverlayView::paintReview(QPainter& painter, const QRect& inner) const
{
    const OverlayColors colors = OverlayColors::from(palette());
    QFont title = font();
    title.setPixelSize(14);
    title.setWeight(QFont::DemiBold);
    painter.setFont(title);
    painter.setPen(colors.primary);
    const QRect titleRect(inner.left() + OverlayCommandRow::paddingX, inner.top(),
                          inner.width() - 2 * OverlayCommandRow::paddingX, reviewTitleHeight);
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(title).elidedText(m_reviewCommand.name, Qt::ElideRight, titleRect.width()));

    const QRect content(titleRect.left(), titleRect.bottom() + 1, titleRect.width(), reviewContentHeight());
    if (m_mode == Mode::working && m_spinner) {
        const QRectF ring(content.center().x() - 12, content.center().y() - 12, 24, 24);
        painter.setPen(QPen(OverlayColors::withOpacity(colors.secondary, 0.3), 3));
        painter.drawEllipse(ring);
        painter.setPen(QPen(colors.accent, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(ring, -m_spinner->currentValue().toInt() * 16, 100 * 16);
    }

    QFont hintFont = font();
    hintFont.setPixelSize(11);
    painter.setFont(hintFont);
    painter.setPen(colors.secondary);
    const QString hint = m_mode == Mode::answer  ? QStringLiteral("Return  Replace     Ctrl+C  Copy     Escape  Discard")
                         : m_mode == Mode::failed ? QStringLiteral("Escape  Close")
                                                  : QStringLiteral("Escape  Cancel");
    painter.drawText(QRect(titleRect.left(), content.bottom() + 1, titleRect.width(), hintLineHeight),
                     Qt::AlignRight | Qt::AlignVCenter, hint);
}

void OverlayView::setMode(Mode mode)
{
    const bool wasArriving = std::exchange(m_mode, mode) == Mode::arriving;
    if (mode == Mode::working) {
        if (!m_spinner) {
            m_spinner = new QVariantAnimation(this);
            m_spinner->setStartValue(0);
            m_spinner->setEndValue(360);
            m_spinner->setDuration(900);
            m_spinner->setLoopCount(-1);
            connect(m_spinner, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
        }
        m_spinner->start();
    } else if (m_spinner) {
        m_spinner->stop(); // no timer runs unless something turns
    }
    if (mode == Mode::arriving || mode == Mode::answer || mode == Mode::failed) {
        if (!m_outcomeView) {
            m_outcomeView = new QPlainTextEdit(this);
            m_outcomeView->setReadOnly(true);
            m_outcomeView->setFocusPolicy(Qt::NoFocus);
            m_outcomeView->setFrameShape(QFrame::NoFrame);
            m_outcomeView->viewport()->setAutoFillBackground(false);
            m_outcomeView->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
            QFont font = this->font();
            font.setPixelSize(13);
            m_outcomeView->setFont(font);
        }
        QPalette colors = palette();
        if (mode == Mode::failed)
            colors.setColor(QPalette::Text, QColor(0xd9, 0x30, 0x25));
        m_outcomeView->setPalette(colors);
        m_outcomeView->setPlainText(m_outcome);
        m_outcomeView->show();
        // The reader was following the end of the answer; it stays in view.
        if (wasArriving)
            scrollToEnd();
    } else if (m_outcomeView) {
        m_outcomeView->hide();
    }
    placeOutcome();
    updateGeometry();
    emit sizeChanged();
    update();
}

void OverlayView::placeOutcome()
{
    if (!m_outcomeView || m_mode == Mode::choosing || m_mode == Mode::working)
        return;
    const QRect inner = paletteRect().adjusted(outerPadding, outerPadding, -outerPadding, -outerPadding);
    m_outcomeView->setGeometry(inner.left() + OverlayCommandRow::paddingX - 4, inner.top() + reviewTitleHeight,
                               inner.width() - 2 * OverlayCommandRow::paddingX + 8, reviewContentHeight());
}

void OverlayView::resizeEvent(QResizeEvent*)
{
    placeOutcome();
}

void OverlayView::keyPressEvent(QKeyEvent* event)
{
    if (m_mode == Mode::choosing)
        chooseKey(event);
    else
        reviewKey(event);
}

void OverlayView::chooseKey(QKeyEvent* event)
{
    const QList<PaletteQuery::Row> list = rows();
    const int count = int(list.size());
    const bool typing = m_appState.settings().typesToAsk();
    const int page = std::max(rowsThatFit() - 1, 1);
    const auto retyped = [this] {
        queryChanged();
        emit sizeChanged();
        update();
    };
    switch (event->key()) {
    case Qt::Key_Return:
        if (m_selectedIndex >= 0 && m_selectedIndex < count)
            execute(list.at(m_selectedIndex).command);
        break;
    case Qt::Key_Escape:
        // The first Escape takes back what was typed; the next one closes.
        if (typing && !m_query.isEmpty()) {
            m_query.clear();
            retyped();
        } else {
            emit closeRequested();
        }
        break;
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Home:
    case Qt::Key_End: {
        const int to = event->key() == Qt::Key_Down       ? m_selectedIndex + 1
                       : event->key() == Qt::Key_Up       ? m_selectedIndex - 1
                       : event->key() == Qt::Key_PageDown ? m_selectedIndex + page
                       : event->key() == Qt::Key_PageUp   ? m_selectedIndex - page
                       : event->key() == Qt::Key_Home     ? 0
                                                          : count - 1;
        select(to);
        update();
        break;
    }
    case Qt::Key_Backspace:
        if (typing && m_query.backspace())
            retyped();
        break;
    default:
        // Letters with Ctrl or Alt are shortcuts of the user's, not text.
        if (typing && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            && m_query.type(event->text()))
            retyped();
        break;
    }
    // Every key is the palette's while it shows; none is passed on.
    event->accept();
}

void OverlayView::reviewKey(QKeyEvent* event)
{
    event->accept();
    if (event->key() == Qt::Key_Escape) {
        // Still on its way: the run is stopped and recorded as cancelled. Done: discarded,
        // the history entry stays.
        if (m_mode == Mode::working || m_mode == Mode::arriving) {
            ++m_reviewRun; // its end is not shown: the palette is on its way out
            m_appState.cancelRun(m_reviewRunId);
        }
        emit closeRequested();
        return;
    }
    if (m_mode == Mode::failed && event->key() == Qt::Key_Return) {
        emit closeRequested();
        return;
    }
    if (m_mode != Mode::answer)
        return;
    if (event->key() == Qt::Key_Return) {
        const Command command = m_reviewCommand;
        const QString original = m_reviewText;
        const QString answer = m_outcome;
        const std::optional<quint64> window = m_reviewWindow;
        if (SelectionAccess* access = m_appState.accessibilityService())
            access->answerWillFollow();
        emit closeRequested();
        [[maybe_unused]] QCoro::Task<> paste = m_appState.pasteAnswer(command, original, answer, window);
    } else if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(m_outcome);
        emit closeRequested();
    } else if (m_outcomeView) {
        // Arrows and pages scroll the answer.
        QScrollBar* bar = m_outcomeView->verticalScrollBar();
        const int step = event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp ? bar->pageStep()
                                                                                           : bar->singleStep();
        if (event->key() == Qt::Key_Down || event->key() == Qt::Key_PageDown)
            bar->setValue(bar->value() + step);
        else if (event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp)
            bar->setValue(bar->value() - step);
    }
}

void OverlayView::mousePressEvent(QMouseEvent* event)
{
    m_pressedCommand.reset();
    if (event->button() != Qt::LeftButton)
        return;
    const int row = rowAt(event->position().toPoint());
    if (row >= 0)
        m_pressedCommand = cachedRows()[row].command.id;
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<QUuid> pressed = std::exchange(m_pressedCommand, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed)
        return;
    // Like a button: the release has to land on the row that was pressed.
    const int row = rowAt(event->position().toPoint());
    if (row >= 0 && cachedRows()[row].command.id == *pressed)
        execute(cachedRows()[row].command);
}

void OverlayView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    const int notches = event->angleDelta().y() / 120;
    if (m_mode != Mode::choosing || notches == 0)
        return;
    const int fit = rowsThatFit();
    m_firstRow = std::clamp(m_firstRow - 3 * notches, 0, std::max(int(cachedRows().size()) - fit, 0));
    // The highlight stays on a row that can be seen, so Return never runs a hidden one.
    m_selectedIndex = std::clamp(m_selectedIndex, m_firstRow, m_firstRow + std::max(visibleRowCount() - 1, 0));
    update();
}

void OverlayView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_idealWidth.reset();
    QWidget::changeEvent(event);
}

void OverlayView::execute(const Command& chosen)
{
    if (m_appState.isReadingSelection()) {
        [[maybe_unused]] QCoro::Task<> waiting = executeOnceRead(chosen);
        return;
    }
    // The "Ask" row is shown with the typed text; its run is named "Custom Instruction".
    const Command command = chosen.id == customInstructionId() ? customInstruction(chosen.prompt) : chosen;
    // Read before closing: the end of the close clears selectedText in the store.
    const QString text = m_appState.selectedText();
    if (!m_appState.settings().autoCloseOverlay) {
        [[maybe_unused]] QCoro::Task<> run = review(command, text);
        return;
    }
    if (SelectionAccess* access = m_appState.accessibilityService())
        access->answerWillFollow();
    emit closeRequested();
    // Started and let go: the run goes on inside the store after the palette is gone.
    [[maybe_unused]] QCoro::Task<> run = m_appState.executeCommand(command, text);
}

QCoro::Task<> OverlayView::executeOnceRead(Command chosen)
{
    // A second Return while the text is on its way is not a second run.
    if (std::exchange(m_waitingForText, true))
        co_return;
    QPointer<OverlayView> self(this);
    co_await qCoro(&m_appState, &AppState::selectionRead);
    if (!self)
        co_return;
    m_waitingForText = false;
    if (m_appState.isOverlayVisible() && m_mode == Mode::choosing)
        execute(chosen);
}

QCoro::Task<> OverlayView::review(Command command, QString text)
{
    QPointer<OverlayView> self(this);
    const quint64 run = ++m_reviewRun;
    m_reviewCommand = command;
    m_reviewText = text;
    SelectionAccess* access = m_appState.accessibilityService();
    m_reviewWindow = access ? access->frontWindow() : std::nullopt;
    m_outcome.clear();
    setMode(Mode::working);
    m_reviewRunId = m_appState.newRunId();
    const auto onText = [self, run](const QString& soFar) {
        if (self && self->m_reviewRun == run)
            self->showArriving(soFar);
    };
    const AppState::RunOutcome outcome = co_await m_appState.answerFor(command, text, onText, m_reviewRunId);
    if (!self || m_reviewRun != run)
        co_return; // discarded meanwhile; the history keeps the run
    m_outcome = outcome.answer ? *outcome.answer
                               : outcome.error.isEmpty() ? QStringLiteral("No text selected") : outcome.error;
    setMode(outcome.answer ? Mode::answer : Mode::failed);
}

void OverlayView::showArriving(const QString& soFar)
{
    const int heightBefore = reviewContentHeight();
    const QString shown = std::exchange(m_outcome, soFar);
    if (m_mode != Mode::arriving) {
        setMode(Mode::arriving);
        scrollToEnd();
        return;
    }
    // Only the new words are added, so a long answer is not laid out again on every piece.
    if (soFar.startsWith(shown)) {
        QTextCursor end(m_outcomeView->document());
        end.movePosition(QTextCursor::End);
        end.insertText(soFar.mid(shown.size()));
    } else {
        m_outcomeView->setPlainText(soFar);
    }
    if (reviewContentHeight() != heightBefore) {
        placeOutcome();
        updateGeometry();
        emit sizeChanged();
    }
    scrollToEnd();
}

void OverlayView::scrollToEnd()
{
    QScrollBar* bar = m_outcomeView->verticalScrollBar();
    bar->setValue(bar->maximum());
}
