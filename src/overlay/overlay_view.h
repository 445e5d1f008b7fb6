#pragma once

#include "palette_query.h"
#include "records.h"

#include <QList>
#include <QMargins>
#include <QRect>
#include <QUuid>
#include <QWidget>
#include <QCoro/QCoroTask>
#include <optional>

class AppState;
class QPlainTextEdit;
class QVariantAnimation;

// The command palette: the store's enabled commands, one row each, driven by Up, Down,
// Return and Escape or by a click. Typing (when the setting allows it) filters the rows
// and offers the typed text as an instruction of its own. With "Auto-close overlay after
// command" off, a choice keeps the palette up to show the answer as it arrives, before it
// replaces the selection; Escape while the answer is on its way cancels the run. It knows nothing of the window it sits in; closing is asked for through
// closeRequested(), a new size through sizeChanged().
class OverlayView : public QWidget {
    Q_OBJECT
public:
    static constexpr int outerPadding = 6;
    static constexpr int cornerRadius = 10;
    // Background alpha over a compositor: enough to keep text readable on any wallpaper.
    static constexpr qreal translucentOpacity = 0.9;
    static constexpr int queryLineHeight = 36;
    static constexpr int reviewTitleHeight = 38;
    static constexpr int hintLineHeight = 28;
    static constexpr int busyHeight = 56;
    // The widest the commands' names make the palette ("Overlay Width" may ask for more).
    static constexpr int maximumIdealWidth = 640;

    // choosing: the list; working: waiting for the answer; arriving: the answer so far, while
    // more comes; answer / failed: the outcome.
    enum class Mode { choosing, working, arriving, answer, failed };

    explicit OverlayView(AppState& appState, QWidget* parent = nullptr);

    // The store's commands with isEnabled set, in stored order, read anew on every call.
    QList<Command> enabledCommands() const;

    // The rows of the list: the enabled commands, filtered by what was typed, and "Ask".
    // Kept until the commands or the typed text change, so a long list costs one pass.
    QList<PaletteQuery::Row> rows() const { return cachedRows(); }
    // The list shows at most as many rows as fit the screen; the rest scroll into view.
    int firstVisibleRow() const { return m_firstRow; }
    int visibleRowCount() const;
    const PaletteQuery& query() const { return m_query; }
    Mode mode() const { return m_mode; }
    // The answer (so far) or the error on show.
    QString outcomeText() const { return m_outcome; }

    int selectedIndex() const { return m_selectedIndex; }
    // Every showing starts on the first row of the plain list.
    void resetSelection();
    // The tallest the answer may make the palette (half the screen).
    void setMaximumPaletteHeight(int height) { m_maximumHeight = height; }
    // The tallest the list may make it.
    void setMaximumListHeight(int height);

    bool isTranslucent() const { return m_translucent; }
    // Translucent: see-through rounded background with a drawn shadow around it (needs a
    // compositor). Opaque: the palette fills the widget, no shadow margin.
    void setTranslucent(bool translucent);

    // The palette's ideal size: widest row by all rows, plus the padding.
    QSize paletteSizeHint() const;
    // Room around the palette for its shadow; zero when opaque.
    QMargins shadowMargins() const;
    // Where the rounded palette lies in this widget.
    QRect paletteRect() const;
    // Row i of rows(), or a null rect when it is out of range or scrolled out of view.
    QRect rowRect(int index) const;

    QSize sizeHint() const override;

signals:
    // Escape, or a command was chosen: the panel should fade out.
    void closeRequested();
    // Typing or a new stage of a run changed the palette's ideal size.
    void sizeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const QList<PaletteQuery::Row>& cachedRows() const;
    // The typed text changed: the list starts over at its top.
    void queryChanged();
    // Highlights row `index` (kept in range) and scrolls it into view.
    void select(int index);
    int rowsThatFit() const;
    int idealWidth() const;
    int rowAt(const QPoint& pos) const;
    int listTop() const;
    void execute(const Command& command);
    // Runs the chosen command once the selection has been read.
    QCoro::Task<> executeOnceRead(Command chosen);
    QCoro::Task<> review(Command command, QString text);
    void chooseKey(QKeyEvent* event);
    void reviewKey(QKeyEvent* event);
    void setMode(Mode mode);
    void showArriving(const QString& soFar);
    void scrollToEnd();
    void placeOutcome();
    int reviewContentHeight() const;
    void paintQueryLine(QPainter& painter, const QRect& rect) const;
    void paintReview(QPainter& painter, const QRect& inner) const;

    AppState& m_appState;
    PaletteQuery m_query;
    int m_selectedIndex = 0;
    int m_firstRow = 0;
    int m_maximumListHeight = 600;
    mutable std::optional<QList<PaletteQuery::Row>> m_rows;
    mutable std::optional<int> m_idealWidth;
    bool m_translucent = false;
    std::optional<QUuid> m_pressedCommand;

    Mode m_mode = Mode::choosing;
    int m_maximumHeight = 600;
    // The run under review; a newer showing or choice makes an older answer stale.
    quint64 m_reviewRun = 0;
    bool m_waitingForText = false; // Return came before the selection was read
    quint64 m_reviewRunId = 0; // the store's name for it, to cancel it
    Command m_reviewCommand;
    QString m_reviewText;
    std::optional<quint64> m_reviewWindow;
    QString m_outcome;
    // Built on the first review only, so a plain palette costs nothing for it.
    QPlainTextEdit* m_outcomeView = nullptr;
    QVariantAnimation* m_spinner = nullptr;
};
