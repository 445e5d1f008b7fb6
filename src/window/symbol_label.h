#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

// One symbol, drawn at a fixed size in a palette role (so it follows the theme) or
// in a fixed colour.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(const QString& name, int pixelSize, QPalette::ColorRole role, QWidget* parent = nullptr);
    SymbolLabel(const QString& name, int pixelSize, const QColor& color, QWidget* parent = nullptr);

    const QString& name() const { return m_name; }
    void setName(const QString& name);
    void setColor(const QColor& color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    int m_pixelSize;
    QPalette::ColorRole m_role = QPalette::WindowText;
    QColor m_color;
};
