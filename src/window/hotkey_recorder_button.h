#pragma once

#include <QAbstractButton>
#include <QSet>
#include <cstdint>
#include <functional>
#include <memory>

class QKeyEvent;
class RecorderKeys;

// Records one key combination. Pressing it starts recording: from then on every key press
// in the button's window comes here and goes no further; recording ends when that window
// loses the focus. Escape stops without a change, a key without Ctrl, Alt, Shift or Super
// is ignored, a combination the check refuses is reported through refused() and recording
// goes on; anything else is reported through recorded() in the stored layout (key code and
// modifier flags) and ends recording. The button shows its display string the way Linux
// desktops write it.
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

    // Why a combination cannot be taken, as the user reads it; empty when it can.
    using Check = std::function<QString(uint16_t keyCode, uint64_t modifiers)>;

    explicit HotkeyRecorderButton(Look look, QWidget* parent = nullptr);
    ~HotkeyRecorderButton() override;

    // The stored form ("⌘⇧T"); empty shows the placeholder.
    QString displayString() const { return m_displayString; }
    void setDisplayString(const QString& displayString);
    // Shown while the display string is empty ("Click to record").
    void setPlaceholder(const QString& placeholder);
    void setCheck(Check check) { m_check = std::move(check); }
    // What the button reads now.
    QString labelText() const;

    bool isRecording() const { return m_isRecording; }
    void startRecording();
    void stopRecording();

    QSize sizeHint() const override;

signals:
    void recorded(uint16_t keyCode, uint64_t modifiers);
    void refused(const QString& reason);
    void isRecordingChanged(bool isRecording);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void handleKeyPress(const QKeyEvent& event);
    void handleKeyRelease(const QKeyEvent& event);
    // A combination pressed: refused with the reason, or recorded.
    void takeCombination(int keyCode, uint64_t flags);

    Look m_look;
    QString m_displayString;
    QString m_placeholder;
    bool m_isRecording = false;
    Check m_check;
    // Keys pressed while recording, and the modifiers of the chord the user holds or held
    // last: a release without its press is a combination the X server kept for itself.
    QSet<quint32> m_pressed;
    uint64_t m_heldModifiers = 0;
    uint64_t m_chordModifiers = 0;
    std::unique_ptr<RecorderKeys> m_keys;
};
