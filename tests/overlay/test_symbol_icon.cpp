#include "command_library.h"
#include "symbol_icon.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QSet>
#include <QTest>

namespace {
// Every symbol name the product's own lists carry.
QSet<QString> namesInUse()
{
    QSet<QString> names{QStringLiteral("keyboard")};
    for (const Command& c : defaultCommands())
        names.insert(c.icon);
    for (const Command& c : commandLibrary())
        names.insert(c.icon);
    for (CommandCategory c : allCommandCategories)
        names.insert(icon(c));
    for (AIProvider p : allAIProviders)
        names.insert(icon(p));
    for (MainTab t : allMainTabs)
        names.insert(icon(t));
    return names;
}

QImage drawn(const QString& name, const QColor& color, int size = 24)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    SymbolIcon::paint(painter, QRectF(0, 0, size, size), name, color, size);
    return image;
}

// Opaque-enough pixels, and whether all of them are of the given hue.
int inkPixels(const QImage& image, const QColor& color, bool* allOfColor = nullptr)
{
    int ink = 0;
    bool same = true;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++ink;
            same = same && std::abs(c.hue() - color.hue()) <= 2 && c.saturation() > 200;
        }
    if (allOfColor)
        *allOfColor = same;
    return ink;
}
} // namespace

class TestSymbolIcon : public QObject {
    Q_OBJECT
private slots:
    void everyNameInUseHasAGlyphInTheFont()
    {
        QVERIFY(SymbolIcon::ensureFontLoaded());
        const QRawFont raw = QRawFont::fromFont(SymbolIcon::font(24));
        QVERIFY(raw.isValid());
        QVERIFY(raw.familyName().contains(QStringLiteral("Material")));

        const QSet<QString> names = namesInUse();
        QVERIFY(names.size() > 40);
        for (const QString& name : names)
            QVERIFY2(SymbolIcon::isKnown(name), qPrintable(name));
        for (const QString& name : SymbolIcon::knownNames()) {
            QVERIFY2(raw.supportsCharacter(SymbolIcon::glyph(name)), qPrintable(name));
            QVERIFY2(SymbolIcon::glyph(name) != SymbolIcon::fallbackGlyph(), qPrintable(name));
        }
        QVERIFY(raw.supportsCharacter(SymbolIcon::fallbackGlyph()));
        QVERIFY(!SymbolIcon::isKnown(QStringLiteral("no.such.symbol")));
        QCOMPARE(SymbolIcon::glyph(QStringLiteral("no.such.symbol")), SymbolIcon::fallbackGlyph());
    }

    void drawsTintedAndDistinctGlyphs()
    {
        bool allRed = false;
        const QImage house = drawn(QStringLiteral("house"), Qt::red);
        QVERIFY(inkPixels(house, Qt::red, &allRed) > 20);
        QVERIFY(allRed);
        bool allBlue = false;
        QVERIFY(inkPixels(drawn(QStringLiteral("house"), Qt::blue), Qt::blue, &allBlue) > 20);
        QVERIFY(allBlue);

        // Different names really give different pictures, unknown ones still draw.
        QVERIFY(drawn(QStringLiteral("gear"), Qt::red) != house);
        QVERIFY(drawn(QStringLiteral("globe.americas"), Qt::red) != house);
        QVERIFY(inkPixels(drawn(QStringLiteral("no.such.symbol"), Qt::red), Qt::red) > 10);
        // Size follows the pixel size asked for.
        QVERIFY(inkPixels(drawn(QStringLiteral("house"), Qt::red, 48), Qt::red) > 3 * inkPixels(house, Qt::red));
    }

    void iconRendersAtAnySize()
    {
        const QIcon icon = SymbolIcon::icon(QStringLiteral("keyboard"), QColor(0, 160, 0));
        for (int size : {16, 22, 32, 64}) {
            const QImage normal = icon.pixmap(size, size).toImage();
            QCOMPARE(normal.size(), QSize(size, size));
            QVERIFY2(inkPixels(normal, QColor(0, 160, 0)) > size / 2, qPrintable(QString::number(size)));
            const QImage disabled = icon.pixmap(QSize(size, size), QIcon::Disabled).toImage();
            int maxAlpha = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    maxAlpha = std::max(maxAlpha, disabled.pixelColor(x, y).alpha());
            QVERIFY(maxAlpha > 0 && maxAlpha < 128);
        }
    }
};

QTEST_MAIN(TestSymbolIcon)
#include "test_symbol_icon.moc"
