#include "placeholder_page.h"

#include "page_style.h"

#include <QLabel>
#include <QVBoxLayout>

PlaceholderPage::PlaceholderPage(MainTab tab, AppState&, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("placeholderPage"));
    auto* layout = new QVBoxLayout(this);
    auto* line = PageStyle::label(QStringLiteral("The %1 page comes in a later version of Tovalin.").arg(rawValue(tab)),
                                  PageStyle::TextStyle::body, QFont::Normal, true, this);
    line->setAlignment(Qt::AlignCenter);
    layout->addWidget(line);
}
