#pragma once

#include <QAbstractButton>
#include <cstdint>

class QKeyEvent;

// Records one key combination. Pressing it starts recording: from then on every key press
// in Tovalin's windows comes here and goes no further. Escape stops without a change, a
// key without Ctrl, Alt, Shift or Super is ignored, anything else is reported through
// recorded() in the stored layout (key code and modifier flags) and ends recording.
// The button shows its display string the way Linux desktops write it.
class HotkeyRecorderButton : public QAbstractButton {
    Q_OBJECT
public:
    // Sizes of the two places that record: the command sheet and the Hotkeys page.
    struct Look {
        int paddingX;
        int paddingY;
        qreal radius;
        qreal recordingFillOpacity;
        qreal strokeWidth;
    };
    static constexpr Look sheetLook{10, 5, 6, 0.15, 1.5};
    static constexpr Look pageLook{12, 6, 8, 0.2, 2};
    static constexpr uint16_t escapeKeyCode = 53;
    static constexpr uint64_t modifierMask = 0x1E0000;

    explicit HotkeyRecorderButton(Look look, QWidget* parent = nullptr);
    ~HotkeyRecorderButton() override;

    // The stored form ("⌘⇧T"); empty shows the placeholder.
    QString displayString() const { return m_displayString; }
    void setDisplayString(const QString& displayString);
    // Shown while the display string is empty ("Click to record").
    void setPlaceholder(const QString& placeholder);
    // What the button reads now.
    QString labelText() const;

    bool isRecording() const { return m_isRecording; }
    void startRecording();
    void stopRecording();

    QSize sizeHint() const override;

signals:
    void recorded(uint16_t keyCode, uint64_t modifiers);
    void isRecordingChanged(bool isRecording);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void handleKeyPress(const QKeyEvent& event);

    Look m_look;
    QString m_displayString;
    QString m_placeholder;
    bool m_isRecording = false;
};
