#pragma once

#include "page_style.h"

class QLineEdit;
class QToolButton;

// Magnifying glass, a borderless text field and, while there is text, a button that
// empties it; on a rounded ground.
class SearchField : public CardFrame {
    Q_OBJECT
public:
    explicit SearchField(const QString& placeholder, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return m_edit; }

signals:
    void textChanged(const QString& text);

private:
    QLineEdit* m_edit;
    QToolButton* m_clear;
};
