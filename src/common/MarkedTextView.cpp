#include "common/MarkedTextView.h"

#include "common/TextFont.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

TMarkedTextView::TMarkedTextView(int fontSize, QWidget* parent)
    : QWidget(parent), font(textFontAt(fontSize)), measuring(1, 1, QImage::Format_RGB32)
{
    // The windows name their text areas (PaintCanvas, PaintCanvas1, ...).
    setObjectName(QStringLiteral("PaintCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(font);
    clearPicture();
    screen = drawn;
}

int TMarkedTextView::scrollPosition() const
{
    return scrollBar ? scrollBar->value() : 0;
}

void TMarkedTextView::setTextFont(const QFont& newFont)
{
    font = newFont;
    setFont(font);
}

bool TMarkedTextView::chooseFont()
{
    QFont chosen = font;
    if (!chooseTextFont(chosen))
        return false;
    setTextFont(chosen);
    return true;
}

int TMarkedTextView::layout(int width)
{
    if (!model)
        return 0;
    QPainter canvas(&measuring);
    canvas.setFont(font);
    return model->layout(width, canvas);
}

void TMarkedTextView::setScrollRange(int total)
{
    if (!scrollBar)
        return;
    const int view = std::max(1, height());
    const QSignalBlocker blocker(scrollBar);
    scrollBar->setRange(0, std::max(total, view) - view);
    scrollBar->setSingleStep(10);
    scrollBar->setPageStep(view);
}

void TMarkedTextView::relayout()
{
    setScrollRange(layout());
    redraw();
}

void TMarkedTextView::redraw()
{
    clearPicture();
    if (model) {
        QPainter canvas(&drawn);
        canvas.setFont(font);
        model->paintAll(canvas, scrollPosition(), markCurrent, drawn.height());
    }
    showPicture();
}

int TMarkedTextView::positionShowing(int n, int position)
{
    const auto [top, bottom] = sentenceExtent(n);
    if (top < position)
        return top;
    if (position + height() < bottom)
        return bottom - height();
    return position;
}

void TMarkedTextView::scrollIntoView(int n)
{
    if (!model || !scrollBar)
        return;
    const int position = scrollBar->value();
    const int wanted = positionShowing(n, position);
    if (wanted == position)
        return;
    const QSignalBlocker blocker(scrollBar);
    scrollBar->setValue(wanted);
}

void TMarkedTextView::markWord(int n, int start, int length, std::optional<int> aloneTop)
{
    QRect place;
    if (model) {
        QPainter canvas(&measuring);
        canvas.setFont(font);
        place = model->textRangeRect(canvas, n, start, length, aloneTop.has_value());
        if (aloneTop)
            place.translate(0, *aloneTop);
    }
    const QRect before = wordMark();
    markedWord = place;
    if (!place.isEmpty() && scrollBar) {
        // The line of the word in sight, with a little of the text around it.
        const int margin = Tevidenziatore::boxPadY + Tevidenziatore::frameWidth;
        const int position = scrollBar->value();
        int wanted = position;
        if (place.top() - margin < position)
            wanted = place.top() - margin;
        else if (place.bottom() + margin > position + height())
            wanted = place.bottom() + margin - height();
        if (wanted != position)
            scrollBar->setValue(std::clamp(wanted, scrollBar->minimum(), scrollBar->maximum()));
    }
    update(before.adjusted(-4, -4, 4, 4));
    update(wordMark().adjusted(-4, -4, 4, 4));
}

void TMarkedTextView::clearWordMark()
{
    if (markedWord.isEmpty())
        return;
    update(wordMark().adjusted(-4, -4, 4, 4));
    markedWord = QRect();
}

QRect TMarkedTextView::wordMark() const
{
    return markedWord.isEmpty() ? QRect() : markedWord.translated(0, -scrollPosition());
}

HitResult TMarkedTextView::hitTest(const QPoint& at)
{
    if (!model)
        return HitResult();
    QPainter canvas(&measuring);
    canvas.setFont(font);
    return model->hitTest(at.x(), at.y() + scrollPosition(), canvas);
}

std::pair<int, int> TMarkedTextView::sentenceExtent(int n)
{
    if (!model)
        return {0, 0};
    QPainter canvas(&measuring);
    canvas.setFont(font);
    return model->sentenceExtent(canvas, n);
}

int TMarkedTextView::sentenceHeight(int n)
{
    if (!model)
        return 0;
    QPainter canvas(&measuring);
    canvas.setFont(font);
    return model->sentenceHeight(n, canvas);
}

void TMarkedTextView::paintSentence(int top, int n)
{
    clearPicture();
    if (!model)
        return;
    QPainter canvas(&drawn);
    canvas.setFont(font);
    model->paintSentence(canvas, top, n, false);
}

void TMarkedTextView::clearPicture()
{
    const QSize size = this->size().expandedTo(QSize(1, 1));
    // A picture still on the screen is left to it rather than copied.
    if (drawn.size() != size || !drawn.isDetached())
        drawn = QImage(size, QImage::Format_RGB32);
    drawn.fill(Qt::white);
}

void TMarkedTextView::showPicture()
{
    screen = drawn;
    update();
}

void TMarkedTextView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, screen);
    // Whatever the screen picture does not cover (the view has just grown).
    if (screen.width() < width())
        painter.fillRect(screen.width(), 0, width() - screen.width(), height(), Qt::white);
    if (screen.height() < height())
        painter.fillRect(0, screen.height(), width(), height() - screen.height(), Qt::white);
    const QRect word = wordMark();
    if (!word.isEmpty()) {
        // A light frame round the word heard, and a line under it.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 140, 0), 2));
        painter.drawRoundedRect(QRectF(word).adjusted(-3, -1, 3, 1), 4, 4);
        painter.fillRect(QRect(word.left(), word.bottom() - 1, word.width(), 3), QColor(200, 0, 120));
    }
}

void TMarkedTextView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (drawn.size() != size().expandedTo(QSize(1, 1))) {
        clearPicture();
        showPicture();
    }
}

void TMarkedTextView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit pressed(event);
}

void TMarkedTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    emit pressed(event);
}

void TMarkedTextView::wheelEvent(QWheelEvent* event)
{
    if (scrollBar)
        QCoreApplication::sendEvent(scrollBar, event);
    event->accept();
}
