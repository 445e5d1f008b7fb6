#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QTimer;

// A strip at the foot of a page that says what was just removed and offers "Undo"
// (or Ctrl+Z) for a few seconds, so a destructive action needs no confirmation.
class UndoBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int shownMs = 8000;

    explicit UndoBar(QWidget* parent = nullptr);

    // Shows message with an Undo that runs undo once; replaces any earlier offer.
    void offer(const QString& message, std::function<void()> undo);
    void undo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void withdraw();

    QLabel* m_message;
    QTimer* m_timer;
    std::function<void()> m_undo;
};
