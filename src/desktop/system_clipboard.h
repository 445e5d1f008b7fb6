#pragma once

#include <QObject>
#include <QString>
#include <optional>

// The desktop's plain-text clipboard (not the highlighted-text selection) through Qt.
class SystemClipboard : public QObject {
    Q_OBJECT
public:
    explicit SystemClipboard(QObject* parent = nullptr);

    // Nothing when the clipboard holds no plain text (empty, or only other kinds of data).
    std::optional<QString> text() const;
    void setText(const QString& text);
    void clear();

signals:
    void changed();
};
