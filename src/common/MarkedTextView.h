#pragma once

#include "model/Uevidenz.h"

#include <QFont>
#include <QImage>
#include <QWidget>
#include <optional>
#include <utility>

class QScrollBar;

// The text area of a window: a marked text (a text model of the window, not
// owned) laid out, drawn and hit-tested in the text font. The text is drawn
// into an off-screen picture, which is then copied to the screen picture that
// the view shows (effects may draw on the screen picture in between). The
// scroll position is that of a scroll bar of the window; one scroll bar may
// serve two views. Mouse presses are handed to the window; the wheel turns
// the scroll bar.
class TMarkedTextView : public QWidget
{
    Q_OBJECT
public:
    // The text font is textFontFamily at `fontSize` points.
    explicit TMarkedTextView(int fontSize, QWidget* parent = nullptr);

    // The text shown; with none, redraw leaves the view white.
    void setText(Tevidenziatore* text) { model = text; }
    Tevidenziatore* text() const { return model; }
    void setScrollBar(QScrollBar* bar) { scrollBar = bar; }
    int scrollPosition() const;
    // Room kept free at the right of the text (the task button's width).
    void setReservedWidth(int pixels) { reserved = pixels; }
    int layoutWidth() const { return width() - reserved; }
    // Whether redraw frames the current sentence.
    void setMarkCurrent(bool on) { markCurrent = on; }

    const QFont& textFont() const { return font; }
    // A new font takes effect at the next layout.
    void setTextFont(const QFont& newFont);
    // "Scelta del font": true when the text font changed (the text is then
    // to be laid out again).
    bool chooseFont();

    // Lays the text out for `width` and gives its total height; the whole
    // text after a change of width or font, only the changed sentences
    // otherwise (the text model keeps the last layout).
    int layout(int width);
    int layout() { return layout(layoutWidth()); }
    // The scroll bar's range for a text `total` pixels high seen through the
    // view, steps of 10 pixels and of a view's height; the position stays,
    // within the new range. The scroll bar's signals are held back.
    void setScrollRange(int total);
    // Lays out, sets the scroll range and redraws.
    void relayout();
    // Draws the whole text from the scroll position into a cleared picture,
    // framing the current sentence when asked to, and shows it.
    void redraw();
    // The scroll position, starting from `position`, that shows sentence n:
    // its top when it starts above, else its bottom at the bottom of the view
    // when it ends below.
    int positionShowing(int n, int position);
    // Moves the scroll bar (its signals held back) to show sentence n.
    // Nothing is drawn.
    void scrollIntoView(int n);

    // Reading along: marks the word [start, start + length) of sentence n's
    // text (Tevidenziatore::sentenceText) with a frame and a line under it,
    // over what the view shows, for the text laid out whole or, with
    // `aloneTop`, for sentence n drawn alone from that top. The scroll bar
    // moves (with its signals, so the window draws again) to keep the word
    // in sight. A range not in the text clears the mark.
    void markWord(int n, int start, int length, std::optional<int> aloneTop = std::nullopt);
    void clearWordMark();
    // The marked word's place in the view; empty when there is none.
    QRect wordMark() const;

    HitResult hitTest(const QPoint& at);
    std::pair<int, int> sentenceExtent(int n);
    int sentenceHeight(int n);
    // Draws sentence n alone from `top` into a cleared picture (not shown yet).
    void paintSentence(int top, int n);

    // The picture cleared to white, at the view's size.
    void clearPicture();
    // The picture copied to the screen.
    void showPicture();
    const QImage& picture() const { return drawn; }
    QImage& screenPicture() { return screen; }

signals:
    void pressed(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    Tevidenziatore* model = nullptr;
    QScrollBar* scrollBar = nullptr;
    int reserved = 0;
    bool markCurrent = true;
    QFont font;
    QImage drawn;       // what the text was last drawn as
    QImage screen;      // what the view shows
    QImage measuring;   // a picture of the same resolution to measure on
    QRect markedWord;   // reading along: the word heard, in text coordinates
};
