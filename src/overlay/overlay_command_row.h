#pragma once

#include "records.h"

#include <QFont>
#include <QSize>

class QPainter;
class QPalette;
class QRect;

// One row of the palette: icon tile, name and, when the command has one, its shortcut
// badge. Rows are drawn by the palette itself rather than being widgets of their own, so
// showing the palette costs a single paint.
class OverlayCommandRow {
public:
    static constexpr int paddingX = 10;
    static constexpr int paddingY = 7;
    static constexpr int spacing = 10;
    static constexpr int tileSize = 24;
    static constexpr int tileRadius = 5;
    static constexpr int glyphSize = 14;
    static constexpr int nameFontSize = 13;
    static constexpr int badgeFontSize = 11;
    static constexpr int badgePaddingX = 6;
    static constexpr int badgePaddingY = 2;
    static constexpr int badgeRadius = 4;
    static constexpr int rowRadius = 6;
    // Room the flexible space keeps between name and badge at the ideal width.
    static constexpr int badgeGap = 18;

    OverlayCommandRow(const Command& command, bool isSelected, const QFont& baseFont);

    static bool hasBadge(const Command& command);

    QSize sizeHint() const;
    // Every row is this tall, with or without a badge, so the list can be laid out by index.
    static int height(const QFont& baseFont);
    void paint(QPainter& painter, const QRect& rect, const QPalette& palette) const;

private:
    QSize badgeSize() const;

    Command m_command;
    QString m_badge; // the shortcut as Linux desktops write it
    bool m_isSelected;
    QFont m_nameFont;
    QFont m_badgeFont;
};
