#include "selectable_text.h"

#include <QAbstractTextDocumentLayout>
#include <QResizeEvent>
#include <QTextDocument>
#include <cmath>

SelectableText::SelectableText(const QString& text, QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setPlainText(text);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(0);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &SelectableText::fitHeight);
}

QSize SelectableText::sizeHint() const { return {200, height()}; }
QSize SelectableText::minimumSizeHint() const { return {50, height()}; }

void SelectableText::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitHeight();
}

void SelectableText::fitHeight()
{
    document()->setTextWidth(viewport()->width());
    const int h = int(std::ceil(document()->size().height()));
    if (h != height())
        setFixedHeight(std::max(h, fontMetrics().height()));
}
