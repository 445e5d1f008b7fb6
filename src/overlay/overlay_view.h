#pragma once

#include "records.h"

#include <QList>
#include <QMargins>
#include <QRect>
#include <QUuid>
#include <QWidget>

class AppState;

// The command palette: the store's enabled commands, one row each, driven by Up, Down,
// Return and Escape or by a click. It knows nothing of the window it sits in; closing is
// asked for through closeRequested().
class OverlayView : public QWidget {
    Q_OBJECT
public:
    static constexpr int outerPadding = 6;
    static constexpr int cornerRadius = 10;
    // Background alpha over a compositor: enough to keep text readable on any wallpaper.
    static constexpr qreal translucentOpacity = 0.9;

    explicit OverlayView(AppState& appState, QWidget* parent = nullptr);

    // The store's commands with isEnabled set, in stored order, read anew on every call.
    QList<Command> enabledCommands() const;

    int selectedIndex() const { return m_selectedIndex; }
    // Every showing starts on the first row.
    void resetSelection();

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
    // Row i of the enabled commands, or a null rect when out of range.
    QRect rowRect(int index) const;

    QSize sizeHint() const override;

signals:
    // Escape, or a command was chosen: the panel should fade out.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int rowAt(const QPoint& pos, const QList<Command>& commands) const;
    QList<QRect> rowRects(const QList<Command>& commands) const;
    void execute(const Command& command);

    AppState& m_appState;
    int m_selectedIndex = 0;
    bool m_translucent = false;
    std::optional<QUuid> m_pressedCommand;
};
