#include "symbol_icon.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QRectF>

namespace {

struct Entry {
    const char* name;
    char16_t codepoint; // Material Icons glyph; the icon's own name follows in the comment
};

// The one table. Names come from the command lists, the records (categories, providers,
// tabs), the tray and the main window's pages.
constexpr Entry kTable[] = {
    // Command icons
    {"arrow.down.right.and.arrow.up.left", 0xf1cf},      // close_fullscreen
    {"arrow.triangle.2.circlepath", 0xe627},             // sync
    {"arrow.up.left.and.arrow.down.right", 0xf1ce},      // open_in_full
    {"bolt", 0xea0b},                                    // bolt
    {"book", 0xea19},                                    // menu_book
    {"briefcase", 0xe8f9},                               // work
    {"bubble.left", 0xe0cb},                             // chat_bubble_outline
    {"chart.bar.doc.horizontal", 0xf071},                // summarize
    {"checkmark.shield", 0xe8e8},                        // verified_user
    {"chevron.left.forwardslash.chevron.right", 0xe86f}, // code
    {"doc.richtext", 0xef42},                            // article
    {"doc.text", 0xe873},                                // description
    {"envelope", 0xe0e1},                                // mail_outline
    {"face.smiling", 0xe0ed},                            // sentiment_satisfied_alt
    {"globe", 0xe894},                                   // language
    {"globe.americas", 0xe80b},                          // public
    {"globe.asia.australia", 0xe80b},                    // public
    {"globe.europe.africa", 0xe80b},                     // public
    {"heart", 0xe87e},                                   // favorite_border
    {"ladybug", 0xe868},                                 // bug_report
    {"lightbulb", 0xe90f},                               // lightbulb_outline
    {"list.bullet", 0xe241},                             // format_list_bulleted
    {"list.number", 0xe242},                             // format_list_numbered
    {"music.note", 0xe405},                              // music_note
    {"person.2", 0xe7fb},                                // people
    {"questionmark.circle", 0xe8fd},                     // help_outline
    {"questionmark.diamond", 0xf04c},                    // quiz
    {"rectangle.stack", 0xe41d},                         // style
    {"sparkles", 0xe65f},                                // auto_awesome
    {"text.alignleft", 0xe236},                          // format_align_left
    {"text.bubble", 0xe0b9},                             // comment
    {"textformat", 0xe165},                              // text_format
    {"textformat.abc", 0xe8ce},                          // spellcheck
    {"textformat.size", 0xe245},                         // format_size
    {"theatermasks", 0xea66},                            // theater_comedy
    {"wand.and.stars", 0xe663},                          // auto_fix_high
    {"pencil", 0xe3c9},                                  // edit
    {"checkmark", 0xe5ca},                               // check
    // Categories
    {"pencil.line", 0xe3c9},                  // edit
    {"bubble.left.and.bubble.right", 0xe0bf}, // forum
    {"paintbrush", 0xe3ae},                   // brush
    // Providers
    {"cpu", 0xe322},             // memory
    {"brain", 0xea4a},           // psychology
    {"magnifyingglass", 0xe8b6}, // search
    {"star", 0xe838},            // star
    {"server.rack", 0xe875},     // dns
    {"point.3.connected.trianglepath.dotted", 0xe9f4}, // hub
    // Tabs, tray and window pages
    {"house", 0xe88a},                    // home
    {"command", 0xeae7},                  // keyboard_command_key
    {"command.square.fill", 0xeae7},      // keyboard_command_key
    {"keyboard", 0xe312},                 // keyboard
    {"clock", 0xe8b5},                    // schedule
    {"clock.fill", 0xe924},               // watch_later
    {"gear", 0xe8b8},                     // settings
    {"gearshape", 0xe8b8},                // settings
    {"text.cursor", 0xe262},              // text_fields
    {"chevron.right", 0xe5cc},            // chevron_right
    {"info.circle", 0xe88f},              // info_outline
    {"exclamationmark.triangle", 0xf083}, // warning_amber
    {"trash", 0xe92e},                    // delete_outline
    {"xmark", 0xe5cd},                    // close
    {"xmark.circle.fill", 0xe5c9},        // cancel
    {"checkmark.circle.fill", 0xe86c},    // check_circle
    {"doc.on.doc", 0xe14d},               // content_copy
    {"lock.shield", 0xe32a},              // security
    {"desktopcomputer", 0xe30a},          // computer
    {"arrow.up.right", 0xf1e1},           // north_east
    {"network", 0xeb2f},                  // lan
    {"square.grid.2x2", 0xe9b0},          // grid_view
    {"plus", 0xe145},                     // add
    {"plus.circle.fill", 0xe147},         // add_circle
    {"ellipsis.circle", 0xe5d3},          // more_horiz
    {"hand.raised", 0xe925},              // pan_tool
};

constexpr char16_t kFallback = 0xe836; // radio_button_unchecked

const QHash<QString, char16_t>& table()
{
    static const QHash<QString, char16_t> map = [] {
        QHash<QString, char16_t> m;
        for (const Entry& e : kTable)
            m.insert(QString::fromLatin1(e.name), e.codepoint);
        return m;
    }();
    return map;
}

struct FontState {
    bool tried = false;
    QString family;
};

FontState& fontState()
{
    static FontState state;
    return state;
}

class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString name, std::function<QColor()> color)
        : m_name(std::move(name)), m_color(std::move(color))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = m_color();
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.4f);
        else if (mode == QIcon::Selected) // on the accent colour of a selected row
            color = Qt::white;
        const qreal size = std::min(rect.width(), rect.height());
        SymbolIcon::paint(*painter, QRectF(rect), m_name, color, size);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(m_name, m_color); }
    QString key() const override { return QStringLiteral("tovalin-symbol"); }
    QString iconName() override { return m_name; }

private:
    QString m_name;
    std::function<QColor()> m_color;
};

} // namespace

bool SymbolIcon::isKnown(const QString& name) { return table().contains(name); }

QChar SymbolIcon::glyph(const QString& name) { return QChar(table().value(name, kFallback)); }

bool SymbolIcon::ensureFontLoaded()
{
    FontState& state = fontState();
    if (!state.tried) {
        state.tried = true;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(fontPath));
        const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        if (!families.isEmpty())
            state.family = families.first();
    }
    return !state.family.isEmpty();
}

QFont SymbolIcon::font(qreal pixelSize)
{
    ensureFontLoaded();
    QFont font(fontState().family);
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    // A missing glyph must not be drawn from some other font as a stray letter.
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void SymbolIcon::paint(QPainter& painter, const QRectF& rect, const QString& name,
                       const QColor& color, qreal pixelSize)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (ensureFontLoaded()) {
        painter.setFont(font(pixelSize));
        painter.setPen(color);
        painter.drawText(rect, Qt::AlignCenter, QString(glyph(name)));
    } else {
        const qreal d = pixelSize * 0.6;
        painter.setPen(QPen(color, std::max<qreal>(1.0, pixelSize / 12)));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(rect.center() - QPointF(d / 2, d / 2), QSizeF(d, d)));
    }
    painter.restore();
}

QIcon SymbolIcon::icon(const QString& name, const QColor& color)
{
    return QIcon(new SymbolIconEngine(name, [color] { return color; }));
}

QIcon SymbolIcon::icon(const QString& name, std::function<QColor()> colorNow)
{
    return QIcon(new SymbolIconEngine(name, std::move(colorNow)));
}
