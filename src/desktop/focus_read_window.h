#pragma once

#include <QRasterWindow>

// A small window of Tovalin's that takes the keyboard for a moment, so that a command hotkey
// can read the selection where only a focused window may (GNOME and KDE on Wayland without
// data-control). It says what it is doing: the user sees it blink while the text is read.
class FocusReadWindow : public QRasterWindow {
public:
    static constexpr const char* label = "Reading the selection…";

    FocusReadWindow();
    // Shows it and asks for the focus.
    void showForRead();

protected:
    void paintEvent(QPaintEvent* event) override;
};
