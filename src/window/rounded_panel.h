#pragma once

#include <QColor>
#include <QWidget>

// A rounded rectangle behind its children: the light fill that groups a search bar,
// a text block or a form section. The fill is the text colour at low opacity, so it
// reads on both themes, or a given colour.
class RoundedPanel : public QWidget {
    Q_OBJECT
public:
    explicit RoundedPanel(QWidget* parent = nullptr, int radius = 8);

    void setFill(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_radius;
    QColor m_fill;
};
