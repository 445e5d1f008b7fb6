#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QMimeData;

// The desktop's plain-text clipboard (not the highlighted-text selection) through Qt.
class SystemClipboard : public QObject {
    Q_OBJECT
public:
    explicit SystemClipboard(QObject* parent = nullptr);

    // Nothing when the clipboard holds no plain text (empty, or only other kinds of data).
    std::optional<QString> text() const;
    void setText(const QString& text);
    void clear();
    // Text, rich text, URLs and image of the clipboard now, for putting back later.
    std::shared_ptr<QMimeData> snapshot() const;
    void restore(const QMimeData& saved);

signals:
    void changed();
};
