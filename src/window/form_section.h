#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class CardFrame;

// One section of a grouped form: a header of a symbol and a title above a rounded
// group whose rows are parted by thin rules.
class FormSection : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumRowHeight = 38;

    // An empty title gives an untitled section.
    FormSection(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    void addRow(QWidget* row);
    // A row with the title at the leading end and the control at the trailing end;
    // a filling control takes all the width the title leaves.
    QWidget* addRow(const QString& title, QWidget* control, bool fill = false);
    // The same with a caption under the title ("AI Provider" over the provider in use).
    QWidget* addCaptionedRow(const QString& title, QLabel* caption, QWidget* control, bool fill = false);
    // A title and a field filling the row, with a note or link under them.
    QWidget* addFieldRow(const QString& title, QWidget* field, QWidget* below);

private:
    static QHBoxLayout* titleLine(const QString& title, QLabel* caption, QWidget* control, bool fill);

    CardFrame* m_group;
    QVBoxLayout* m_rows;
};
