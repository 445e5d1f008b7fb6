#pragma once

#include "records.h"

#include <QDialog>

class SystemClipboard;

// One history entry read in full: the original text, the result and, for a failed
// run, the error, each with a copy button. Copies go to the desktop clipboard; the
// sheet stays open.
class HistoryDetailSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 500;
    static constexpr int sheetHeight = 500;

    explicit HistoryDetailSheet(const HistoryItem& item, QWidget* parent = nullptr);

    const HistoryItem& item() const { return m_item; }

private:
    QWidget* textSection(const QString& title, const QString& symbol, const QString& text,
                         const QString& copyButtonName);
    QWidget* errorSection(const QString& message);
    void copy(const QString& text);

    HistoryItem m_item;
    SystemClipboard* m_clipboard;
};
