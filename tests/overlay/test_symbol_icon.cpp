#include "command_library.h"
#include "symbol_icon.h"

#include <QRawFont>
#include <QTest>

class TestSymbolIcon : public QObject {
    Q_OBJECT
private slots:
    void everyNameInUseHasAGlyphInTheFont()
    {
        QVERIFY(SymbolIcon::ensureFontLoaded());
        const QRawFont raw = QRawFont::fromFont(SymbolIcon::font(24));
        QStringList names{QStringLiteral("keyboard")};
        for (const QList<Command>& list : {defaultCommands(), commandLibrary()})
            for (const Command& c : list)
                names << c.icon;
        for (CommandCategory c : allCommandCategories)
            names << icon(c);
        for (AIProvider p : allAIProviders)
            names << icon(p);
        for (MainTab t : allMainTabs)
            names << icon(t);
        QVERIFY(names.size() > 40);
        for (const QString& name : names)
            QVERIFY2(SymbolIcon::isKnown(name) && raw.supportsCharacter(SymbolIcon::glyph(name)), qPrintable(name));
    }
};

QTEST_MAIN(TestSymbolIcon)
#include "test_symbol_icon.moc"
