#pragma once

#include <QAbstractButton>

// A filter button of the library: symbol and title side by side; white on the accent
// colour while selected, otherwise primary text on a faint ground.
class CategoryPill : public QAbstractButton {
    Q_OBJECT
public:
    CategoryPill(const QString& title, const QString& icon, QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_icon;
    bool m_isSelected = false;
};
