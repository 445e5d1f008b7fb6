#pragma once

#include <QWidget>

// One tip: a blue symbol beside a title and a short description.
class TipRow : public QWidget {
    Q_OBJECT
public:
    TipRow(const QString& icon, const QString& title, const QString& description, QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    QString title() const { return m_title; }
    QString description() const { return m_description; }

private:
    QString m_icon;
    QString m_title;
    QString m_description;
};
