#pragma once

#include <QPointer>
#include <QScreen>
#include <QWidget>

class AppState;
class PaletteKeys;
class OverlayView;
class QPropertyAnimation;

// The floating, never-activating window the palette is shown in. There is one per run;
// between showings it is hidden, and while shown it holds the keyboard through an X grab
// so that the user's application keeps its focus and later receives the paste.
class OverlayPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int fadeInMs = 120;
    static constexpr int fadeOutMs = 80;

    explicit OverlayPanel(AppState& appState, QWidget* parent = nullptr);

    OverlayView* view() const { return m_view; }

    // Where the palette's keys come from while it is shown. Without one (or when the keys
    // cannot be taken) the panel grabs the whole keyboard instead.
    void setPaletteKeys(PaletteKeys* keys);

    // Needs a compositor; otherwise the panel is opaque, cut to its rounded shape.
    void setTranslucent(bool translucent);
    bool isTranslucent() const;

    // Sizes the panel to the palette, places it on the screen under the pointer, shows it
    // without activating and fades it in. A second call while shown starts over.
    void showOverlay();
    // Lets go of the keyboard, fades out, hides, and then resets the store's palette flags.
    void hideOverlay();

    // Does ahead of time the slowest of what the first showing would otherwise do on the
    // hotkey's path: creates the native window (unmapped) and reads the font configuration.
    // The glyphs are left to the first paint: rendering them at start costs the idle tray
    // about 3.5 MB for 4 ms once. For the application to call once it is idle.
    void warmUp();

signals:
    // After the first paint of a showing: the palette is on screen.
    void shown();
    // The fade-out has finished and the window is hidden.
    void hidden();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Phase { hidden, fadingIn, shown, fadingOut };

    // show(), under the palette's own app_id on Wayland.
    void showMapped();
    void grabKeyboardNow();
    void releaseKeyboardNow();
    void onFadeFinished();
    void afterFirstPaint();
    void updateShape();
    // Takes the palette's ideal size, its bottom edge where it was.
    void fitToPalette();

    AppState& m_appState;
    QPointer<QScreen> m_screen;
    OverlayView* m_view;
    QPropertyAnimation* m_fade;
    Phase m_phase = Phase::hidden;
    bool m_awaitingFirstPaint = false;
    bool m_keyboardGrabbed = false;
    PaletteKeys* m_paletteKeys = nullptr;
    bool m_paletteKeysTaken = false;
    // Counts showings, so that a store reset queued by an earlier hide cannot clear the
    // flags of a showing that began after it.
    quint64 m_showing = 0;
};
