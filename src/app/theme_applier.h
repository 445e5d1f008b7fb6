#pragma once

#include "records.h"

#include <QPalette>

// Colours the whole application for the stored theme. System keeps the
// desktop's own style and palette; light and dark force a Fusion palette.
class ThemeApplier {
public:
    ThemeApplier();
    void apply(AppTheme theme);

    static QPalette lightPalette();
    static QPalette darkPalette();

private:
    QPalette m_systemPalette;
    QString m_systemStyle;
};
