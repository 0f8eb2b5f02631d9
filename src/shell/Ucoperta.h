#pragma once

#include <QDialog>
#include <QPixmap>
#include <QRegion>
#include <functional>

class QFrame;
class QLabel;
class QTimer;

// The picture of the cover: the cover drawn at (-2, -2) and the title,
// wiped in from the left in strips, 700 ms after the cover is painted. Every
// repaint that is not one of the wipe's own strips starts the wipe again.
class TcopertinaPaintBox : public QWidget
{
    Q_OBJECT
public:
    explicit TcopertinaPaintBox(QWidget* parent = nullptr);

    void setPictures(const QPixmap& cover, const QPixmap& title);
    // The cover made when it is first painted, once the window is on screen;
    // it replaces the cover given to setPictures.
    void setCoverMaker(std::function<QPixmap()> maker) { makeCover = std::move(maker); }
    // The title made when the wipe first needs it, off the path to the
    // cover's first frame; it replaces the title given to setPictures.
    void setTitleMaker(std::function<QPixmap()> maker) { makeTitle = std::move(maker); }
    // Starts the wipe again from the left: 700 ms pause, then 1 ms ticks.
    void restartWipe();
    int wipePosition() const { return wipe; }
    bool wipeRunning() const;
    const QPixmap& titlePicture() const { return title; }

    static constexpr QPoint titleOrigin{70, 47};
    static constexpr int stripWidth = 7;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void timerTick();

    QPixmap cover;
    QPixmap title;
    std::function<QPixmap()> makeTitle;
    std::function<QPixmap()> makeCover;
    QTimer* Timer1;
    int wipe = 0;
    QRegion pendingStrips; // strips the wipe asked to paint, not painted yet
};

// The cover window, shown at start until a key is pressed or the cover is
// clicked. Its pictures come from `programFolder`.
class Tcopertina : public QDialog
{
    Q_OBJECT
public:
    explicit Tcopertina(const QString& programFolder, QWidget* parent = nullptr);

    QFrame* PanelCopertina;
    TcopertinaPaintBox* PaintCopertina;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// The title picture: the part of the cover under the title with the
// lettering drawn over it; lettering pixels of the colour of its top-left
// pixel are transparent.
QPixmap buildTitlePicture(const QImage& cover, const QImage& lettering, QPoint at);
