#pragma once

#include <QTextEdit>

// A block of plain text shown whole: it wraps (inside words too, so a long link or
// code line does not widen its sheet), grows to the height of its text instead of
// scrolling, and can be selected.
class SelectableText : public QTextEdit {
    Q_OBJECT
public:
    explicit SelectableText(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
};
