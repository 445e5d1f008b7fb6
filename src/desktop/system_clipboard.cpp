#include "system_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

SystemClipboard::SystemClipboard(QObject* parent) : QObject(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            emit changed();
    });
}

std::optional<QString> SystemClipboard::text() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText())
        return std::nullopt;
    return data->text();
}

void SystemClipboard::setText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

std::shared_ptr<QMimeData> SystemClipboard::snapshot() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    auto saved = std::make_shared<QMimeData>();
    if (!data)
        return saved;
    // Only what Qt can carry across; each kind is one request to the clipboard's owner.
    if (data->hasText())
        saved->setText(data->text());
    if (data->hasHtml())
        saved->setHtml(data->html());
    if (data->hasUrls())
        saved->setUrls(data->urls());
    if (data->hasImage())
        saved->setImageData(data->imageData());
    return saved;
}

void SystemClipboard::restore(const QMimeData& saved)
{
    auto* copy = new QMimeData;
    for (const QString& format : saved.formats())
        copy->setData(format, saved.data(format));
    if (saved.hasImage())
        copy->setImageData(saved.imageData());
    if (copy->formats().isEmpty()) {
        delete copy;
        clear();
        return;
    }
    QGuiApplication::clipboard()->setMimeData(copy, QClipboard::Clipboard);
}

void SystemClipboard::clear()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}
